#include "console/moves.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace tavelund {
namespace {

// Applies the commands in turn from `offset` and lists the offsets.
std::vector<int32_t> walk(int32_t offset, int32_t limit, int32_t step,
                          const std::string& commands) {
  std::vector<int32_t> offsets;
  for (char command : commands) {
    offset = moveOffset(command, offset, limit, step).value();
    offsets.push_back(offset);
  }
  return offsets;
}

using Offsets = std::vector<int32_t>;

TEST(Moves, PagesThroughTheHistory) {
  EXPECT_EQ(walk(0, 100, 30, "----"), (Offsets{30, 60, 90, 100}));
  EXPECT_EQ(walk(100, 100, 30, "++++"), (Offsets{69, 39, 9, 0}));
}

TEST(Moves, LinesAreMultiplesOfThree) {
  EXPECT_EQ(walk(0, 100, 30, "2244"), (Offsets{3, 6, 9, 12}));
  EXPECT_EQ(walk(13, 100, 30, "8"), (Offsets{9}));
  // From the limit 10 (reached with END) a step to the past stays; UP gives 6.
  EXPECT_EQ(walk(0, 10, 30, "528"), (Offsets{10, 10, 6}));
  // All the line commands of keys and controller.
  for (char past : {'2', '4', 'D', 'L'}) EXPECT_EQ(moveOffset(past, 3, 100, 30), 6);
  for (char future : {'6', '8', 'R', 'U'}) EXPECT_EQ(moveOffset(future, 7, 100, 30), 3);
}

TEST(Moves, EndsStayAtTheirBounds) {
  EXPECT_EQ(walk(0, 100, 30, "+6"), (Offsets{0, 0}));
  EXPECT_EQ(walk(100, 100, 30, "-2"), (Offsets{100, 100}));
  EXPECT_EQ(walk(50, 100, 30, "05Y"), (Offsets{0, 100, 0}));
}

TEST(Moves, EmptyChartHasLimitMinusOne) {
  EXPECT_EQ(walk(0, -1, 30, "0"), (Offsets{0}));
  EXPECT_EQ(walk(0, -1, 30, "5"), (Offsets{-1}));
  EXPECT_EQ(walk(0, -1, 30, "2"), (Offsets{-1}));
  EXPECT_EQ(walk(-1, -1, 30, "6"), (Offsets{0}));
}

TEST(Moves, LoweredLimitComputesFromTheOldOffset) {
  // scrollOffset stayed 30 while a refresh lowered the limit to 10.
  EXPECT_EQ(moveOffset('6', 30, 10, 30), 0);
  EXPECT_EQ(moveOffset('2', 30, 10, 30), 10);
}

TEST(Moves, ExtremePageStepsDoNotOverflow) {
  const int32_t max = std::numeric_limits<int32_t>::max();
  const int32_t min = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(moveOffset('-', 99, 100, max), 100);
  EXPECT_EQ(moveOffset('+', 99, 100, max), 0);
  EXPECT_EQ(moveOffset('+', 99, 100, min), 0);    // far past the limit toward the future: 0
  EXPECT_EQ(moveOffset('-', 99, 100, min), 100);  // far below 0: the limit
  EXPECT_EQ(moveOffset('-', max, max, 3), max);
  // A negative step moves the other way, within the same bounds.
  EXPECT_EQ(moveOffset('-', 30, 100, -12), 18);
}

TEST(Moves, OtherCommandsAreNoMoves) {
  for (char command : {'u', 'r', 'n', 'N', 'h', 's', 'l', 'X', 'Z', '?'}) {
    EXPECT_FALSE(moveOffset(command, 0, 10, 30).has_value()) << command;
  }
}

}  // namespace
}  // namespace tavelund
