// Work on many independent items spread over the machine's cores.
#pragma once

#include <cstddef>
#include <functional>

namespace pgl {

// What the items' work mostly does: compute, which takes a core each; or wait for another
// process (Wine's server answers registry requests one after the other, and stays busy only
// while several are waiting), which is done on eight threads whatever the cores. Batches are
// items of a thousand or so computations each: two of them are worth a thread each, where
// single computations are worth one only by the hundred.
enum class ParallelWork { Computing, Waiting, Batches };

// Runs body(i) for every i below `count`, on up to eight threads (the caller's among them)
// where there are enough items to be worth it, else on the caller's alone; on fewer when no
// more threads can be had. The calls may come in any order and at the same time: `body` must
// touch nothing another call changes. An exception from `body` is raised here once every
// thread has stopped.
void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& body,
                 ParallelWork kind = ParallelWork::Computing);

}  // namespace pgl
