#include <gtest/gtest.h>

#include "common/number_text.h"

namespace tavelund {
namespace {

TEST(FixedText, RoundsLikeTheStreamsFixedNotation) {
  EXPECT_EQ(fixedText(0.5, 5), "0.50000");
  EXPECT_EQ(fixedText(123.456789, 5), "123.45679");
  EXPECT_EQ(fixedText(1.2345, 5), "1.23450");
  EXPECT_EQ(fixedText(0.0, 5), "0.00000");
  EXPECT_EQ(fixedText(-2.5, 2), "-2.50");
  EXPECT_EQ(fixedText(1.0, 0), "1");
  EXPECT_EQ(fixedText(2.5, 0), "2");  // exact half: to even, as printf does
  EXPECT_EQ(fixedText(1.0, -3), "1");
  EXPECT_EQ(fixedText(1e20, 2), "100000000000000000000.00");
}

TEST(ZeroPadded, PadsToAtLeastTheWidth) {
  EXPECT_EQ(zeroPadded(7, 3), "007");
  EXPECT_EQ(zeroPadded(12, 2), "12");
  EXPECT_EQ(zeroPadded(2024, 4), "2024");
  EXPECT_EQ(zeroPadded(12345, 4), "12345");
  EXPECT_EQ(zeroPadded(-1, 4), "00-1");
}

}  // namespace
}  // namespace tavelund
