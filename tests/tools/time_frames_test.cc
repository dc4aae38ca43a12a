#include "tools/time_frames.h"

#include <gtest/gtest.h>

#include "common/time_span_label.h"

namespace tavelund::feed {
namespace {

TEST(TimeFrames, LabelsAndCodesBothNameATimeFrame) {
  EXPECT_EQ(parseTimeFrame("D1"), 16408);
  EXPECT_EQ(parseTimeFrame("h4"), 16388);
  EXPECT_EQ(parseTimeFrame("MN1"), 49153);
  EXPECT_EQ(parseTimeFrame("M1"), 1);
  EXPECT_EQ(parseTimeFrame("16385"), 16385);
  EXPECT_EQ(parseTimeFrame("-1"), -1);
  EXPECT_EQ(parseTimeFrame("20"), 20);  // no label of its own, still a code
  for (const char* bad : {"", "D2", "NODATA", "16408x", " 1", "99999999999"}) {
    EXPECT_EQ(parseTimeFrame(bad), std::nullopt) << bad;
  }
  // Every labelled code reads back from its own label and is in the table.
  const std::string table = timeFrameTable();
  EXPECT_EQ(labelledTimeSpans().size(), 21u);
  for (const TimeSpan& span : labelledTimeSpans()) {
    const int code = span.code;
    const std::string label = timeSpanLabel(code);
    ASSERT_NE(label, "NODATA") << code;
    EXPECT_EQ(parseTimeFrame(label), code) << label;
    EXPECT_NE(table.find(" " + std::to_string(code) + " "), std::string::npos) << code;
    EXPECT_NE(table.find(" " + label), std::string::npos) << label;
  }
  EXPECT_NE(table.find("  16408  D1\n"), std::string::npos) << table;
}

}  // namespace
}  // namespace tavelund::feed
