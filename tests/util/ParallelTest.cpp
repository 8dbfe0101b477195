#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "util/Parallel.h"

namespace pgl {
namespace {

TEST(ParallelFor, EveryItemOnceAndAFailureRaisedAfterwards) {
  for (const ParallelWork kind :
       {ParallelWork::Computing, ParallelWork::Waiting, ParallelWork::Batches}) {
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{127},
                                    std::size_t{511}, std::size_t{512}, std::size_t{5000}}) {
      std::vector<std::atomic<int>> seen(count);
      ParallelFor(
          count, [&](std::size_t i) { ++seen[i]; }, kind);
      int wrong = 0;
      for (const auto& s : seen) wrong += s != 1;
      EXPECT_EQ(wrong, 0) << count << " items, kind " << static_cast<int>(kind);
    }
  }
  for (const ParallelWork kind : {ParallelWork::Computing, ParallelWork::Batches})
    EXPECT_THROW(ParallelFor(
                     5000,
                     [](std::size_t i) {
                       if (i == 4321) throw std::runtime_error("item");
                     },
                     kind),
                 std::runtime_error);
}

// Two batches (a list's sort keys in two runs) take a core each where there are two: each
// waits, a while at most, for the other to have started.
TEST(ParallelFor, TwoBatchesOnTwoCoresAtOnce) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core";
  std::atomic<int> started{0};
  std::atomic<int> alone{0};
  ParallelFor(
      2,
      [&](std::size_t) {
        ++started;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (started < 2 && std::chrono::steady_clock::now() < until)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (started < 2) ++alone;
      },
      ParallelWork::Batches);
  EXPECT_EQ(alone, 0);
}

}  // namespace
}  // namespace pgl
