#include "util/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace pgl {

void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& body,
                 ParallelWork kind) {
  const bool waiting = kind == ParallelWork::Waiting, batches = kind == ParallelWork::Batches;
  // Items a thread takes at a time, and the fewest per thread that are worth one.
  const std::size_t chunk = batches ? 1 : waiting ? 16 : 64;
  const std::size_t perThread = batches ? 1 : waiting ? 64 : 256;
  const std::size_t cores = waiting ? 8 : std::max(1u, std::thread::hardware_concurrency());
  const std::size_t threads = std::min({cores, std::size_t{8}, count / perThread});
  if (threads <= 1) {
    for (std::size_t i = 0; i < count; ++i) body(i);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureMutex;
  const auto work = [&] {
    try {
      for (std::size_t start; (start = next.fetch_add(chunk)) < count;)
        for (std::size_t i = start; i < std::min(count, start + chunk); ++i) body(i);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failureMutex);
      if (!failure) failure = std::current_exception();
      next = count;  // the others stop at their next chunk
    }
  };
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones there share the items
    }
  }
  work();
  for (auto& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace pgl
