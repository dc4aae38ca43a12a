#include "link/line_format.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

namespace tavelund {
namespace {

TEST(TimelineLine, PadsFieldsAndRoundsPricesToFiveDecimals) {
  EXPECT_EQ(timelineLine({2024, 3, 5, 9, 7, 3, 45, 1.0851, 1.0853, 1.0849, 1.08525}),
            "2024/03/05 09:07:03.045,1.08510,1.08530,1.08490,1.08525\n");
  EXPECT_EQ(timelineLine({2024, 12, 31, 23, 59, 59, 7, 0.5, 123.456789, 0, -2.25}),
            "2024/12/31 23:59:59.007,0.50000,123.45679,0.00000,-2.25000\n");
  // Padding is a minimum width, never a cut.
  EXPECT_EQ(timelineLine({12345, 100, 1, 0, 0, 0, 1234, 1e6, 1, 1, 1}),
            "12345/100/01 00:00:00.1234,1000000.00000,1.00000,1.00000,1.00000\n");
  EXPECT_EQ(timelineLine({5, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1}).substr(0, 10), "0005/01/01");
}

TEST(TimelineLine, AppendsToWhatIsThere) {
  std::string batch = "x";
  appendTimelineLine(batch, {2000, 1, 3, 0, 0, 0, 0, 1, 2, 0.5, 1.5});
  appendTimelineLine(batch, {2000, 1, 4, 0, 0, 0, 0, 1, 2, 0.5, 1.5});
  EXPECT_EQ(batch,
            "x2000/01/03 00:00:00.000,1.00000,2.00000,0.50000,1.50000\n"
            "2000/01/04 00:00:00.000,1.00000,2.00000,0.50000,1.50000\n");
}

TEST(BigEndian, MostSignificantByteFirstBothWays) {
  unsigned char bytes[4];
  const struct {
    std::int32_t value;
    unsigned char expected[4];
  } cases[] = {{-1, {0xFF, 0xFF, 0xFF, 0xFF}},
               {1, {0, 0, 0, 1}},
               {16408, {0, 0, 0x40, 0x18}},
               {INT_MIN, {0x80, 0, 0, 0}},
               {0x12345678, {0x12, 0x34, 0x56, 0x78}}};
  for (const auto& c : cases) {
    storeBigEndian(bytes, c.value);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 4),
              std::string(reinterpret_cast<const char*>(c.expected), 4))
        << c.value;
    EXPECT_EQ(loadBigEndian(bytes), c.value);
  }
}

TEST(NewestWholeLines, KeepsTheNewestWholeLinesThatFit) {
  const std::string batch = "aaaa\nbbbb\ncccc\n";  // three lines of 5 bytes
  EXPECT_EQ(newestWholeLines(batch, 15), batch);
  EXPECT_EQ(newestWholeLines(batch, 100), batch);
  EXPECT_EQ(newestWholeLines(batch, 14), "bbbb\ncccc\n");  // "aaaa" would be torn
  EXPECT_EQ(newestWholeLines(batch, 10), "bbbb\ncccc\n");  // cut right behind a feed
  EXPECT_EQ(newestWholeLines(batch, 9), "cccc\n");
  EXPECT_EQ(newestWholeLines(batch, 4), "");
  // A batch whose last line has no line feed keeps it as the newest line.
  EXPECT_EQ(newestWholeLines("aaaa\nbbbb\ncc", 8), "bbbb\ncc");
  // One giant line cannot be published whole: nothing is.
  EXPECT_EQ(newestWholeLines(std::string(50, 'z'), 10), "");
}

}  // namespace
}  // namespace tavelund
