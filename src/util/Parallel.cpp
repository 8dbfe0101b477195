#include "util/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace pgl {

void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& body) {
  constexpr std::size_t kChunk = 64;       // items a thread takes at a time
  constexpr std::size_t kPerThread = 256;  // fewer items than this per thread: not worth one
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t threads = std::min({cores, std::size_t{8}, count / kPerThread});
  if (threads <= 1) {
    for (std::size_t i = 0; i < count; ++i) body(i);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureMutex;
  const auto work = [&] {
    try {
      for (std::size_t start; (start = next.fetch_add(kChunk)) < count;)
        for (std::size_t i = start; i < std::min(count, start + kChunk); ++i) body(i);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failureMutex);
      if (!failure) failure = std::current_exception();
      next = count;  // the others stop at their next chunk
    }
  };
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
  work();
  for (auto& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace pgl
