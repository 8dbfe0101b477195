#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "util/Parallel.h"

namespace pgl {
namespace {

TEST(ParallelFor, EveryItemOnceAndAFailureRaisedAfterwards) {
  for (const ParallelWork kind : {ParallelWork::Computing, ParallelWork::Waiting}) {
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{127},
                                    std::size_t{511}, std::size_t{512}, std::size_t{5000}}) {
      std::vector<std::atomic<int>> seen(count);
      ParallelFor(
          count, [&](std::size_t i) { ++seen[i]; }, kind);
      int wrong = 0;
      for (const auto& s : seen) wrong += s != 1;
      EXPECT_EQ(wrong, 0) << count << (kind == ParallelWork::Waiting ? " waiting" : "");
    }
  }
  EXPECT_THROW(ParallelFor(5000,
                           [](std::size_t i) {
                             if (i == 4321) throw std::runtime_error("item");
                           }),
               std::runtime_error);
}

}  // namespace
}  // namespace pgl
