// Work on many independent items spread over the machine's cores.
#pragma once

#include <cstddef>
#include <functional>

namespace pgl {

// Runs body(i) for every i below `count`, on up to eight threads (the caller's among them)
// where there are enough items to be worth it, else on the caller's alone. The calls may come in
// any order and at the same time: `body` must touch nothing another call changes. An exception
// from `body` is raised here once every thread has stopped.
void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& body);

}  // namespace pgl
