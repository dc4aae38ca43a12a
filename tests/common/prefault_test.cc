// Backing fresh memory ahead of a writer: the writer's data is never
// touched, and a writer that stops early stops the backing.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "common/prefault.h"

namespace tavelund {
namespace {

TEST(Prefault, WriterFillsTheSameRoomUndisturbed) {
  constexpr size_t kCount = size_t{8} << 20;  // 64 MiB of entries
  std::vector<uint64_t> list;
  list.reserve(kCount);
  {
    Prefault prefault({roomOf(list, kCount)}, kCount);
    for (size_t i = 0; i < kCount; ++i) {
      list.push_back(i * 7);
      if ((i & 1023) == 1023) prefault.reached(i);
    }
  }
  uint64_t wrong = 0;
  for (size_t i = 0; i < kCount; ++i) wrong += list[i] != i * 7;
  EXPECT_EQ(0u, wrong);
}

TEST(Prefault, EarlyStopAndSmallOrEmptyRangesEndAtOnce) {
  std::vector<char> big;
  big.reserve(size_t{256} << 20);
  {
    // The writer never reports progress: the backing stays a little ahead
    // of nothing and ends with the writer.
    Prefault prefault({roomOf(big, big.capacity())}, big.capacity());
  }
  { Prefault none({}, 0); }
  std::vector<int> small(10);
  { Prefault tiny({roomOf(small, 10)}, 10); }
  EXPECT_EQ(10u, small.size());
}

}  // namespace
}  // namespace tavelund
