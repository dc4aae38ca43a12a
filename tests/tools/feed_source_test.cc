#include "tools/feed_source.h"

#include <string>

#include <gtest/gtest.h>

namespace tavelund::feed {
namespace {

std::string dataFile(const char* name) { return std::string(TAVELUND_TEST_DATA_DIR) + name; }

TEST(ParseBars, ReadsTheThreeFormsOldestFirst) {
  const BarsResult daily = loadBars(dataFile("bars-daily.csv"));
  ASSERT_TRUE(daily.ok()) << daily.error;
  ASSERT_EQ(daily.bars.size(), 40u);
  EXPECT_EQ(timelineLine(daily.bars[0]),
            "2021/01/04 00:00:00.000,100.00000,100.75000,99.50000,100.00000\n");

  // The viewer's save lists the newest row first, to the minute.
  const BarsResult viewer = loadBars(dataFile("bars-viewer.csv"));
  ASSERT_TRUE(viewer.ok()) << viewer.error;
  ASSERT_EQ(viewer.bars.size(), 12u);
  EXPECT_EQ(timelineLine(viewer.bars.front()).substr(0, 23), "2024/03/05 09:00:00.000");
  EXPECT_EQ(timelineLine(viewer.bars.back()).substr(0, 23), "2024/03/05 09:11:00.000");
  EXPECT_DOUBLE_EQ(viewer.bars.front().open, daily.bars.front().open);

  // The terminal's export: tabs, dotted dates, a time column, CR LF.
  const BarsResult terminal = loadBars(dataFile("bars-mt5.tsv"));
  ASSERT_TRUE(terminal.ok()) << terminal.error;
  ASSERT_EQ(terminal.bars.size(), 10u);
  EXPECT_EQ(timelineLine(terminal.bars[1]),
            "2024/03/05 09:00:00.000,100.00000,102.74000,99.50000,101.99000\n");
}

TEST(ParseBars, AcceptsVariantsOfTheSameForms) {
  const BarsResult result = parseBars(
      "\xEF\xBB\xBF"
      "Date,Open,High,Low,Close\r\n"
      "2024-01-02 10:15:30.250, 1.5 ,2,1,1.75\r\n"
      "\r\n"
      "2024-01-02T10:14,1,2,0.5,1.5\r\n",
      "v.csv");
  ASSERT_TRUE(result.ok()) << result.error;
  ASSERT_EQ(result.bars.size(), 2u);
  EXPECT_EQ(timelineLine(result.bars[0]),
            "2024/01/02 10:14:00.000,1.00000,2.00000,0.50000,1.50000\n");
  EXPECT_EQ(timelineLine(result.bars[1]),
            "2024/01/02 10:15:30.250,1.50000,2.00000,1.00000,1.75000\n");

  // MT5's daily export has no time column.
  const BarsResult daily =
      parseBars("<DATE>\t<OPEN>\t<HIGH>\t<LOW>\t<CLOSE>\n2024.03.05\t1\t2\t0.5\t1.5\n", "d.tsv");
  ASSERT_TRUE(daily.ok()) << daily.error;
  EXPECT_EQ(timelineLine(daily.bars[0]).substr(0, 23), "2024/03/05 00:00:00.000");
}

TEST(ParseBars, RefusesBadInputNamingFileAndLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"", "f.csv:1: no header line (the file is empty)"},
      {"a,b,c\n1,2,3\n",
       "f.csv:1: header must name the columns date, open, high, low and close; found \"a,b,c\""},
      {"date,open,high,low,close\n", "f.csv:2: no bars after the header"},
      {"date,open,high,low,close\n2024-01-02,1,2,1\n",
       "f.csv:2: expected at least 5 fields, found 4"},
      {"date,open,high,low,close\n2024-01-02,1,2,1,1\n2024-13-02,1,2,1,1\n",
       "f.csv:3: bad date \"2024-13-02\""},
      {"date,open,high,low,close\n2024-01-02 25:00,1,2,1,1\n",
       "f.csv:2: bad date \"2024-01-02 25:00\""},
      {"date,open,high,low,close\n2024-01-02,1,abc,1,1\n", "f.csv:2: bad high price \"abc\""},
      {"date,open,high,low,close\n2024-01-02,1,2,1,nan\n", "f.csv:2: bad close price \"nan\""},
      {"date,open,high,low,close\n2024-01-02,1,1e400,1,1\n", "f.csv:2: bad high price \"1e400\""},
      {"date,open,high,low,close\n2024-01-02,1,1,2,1\n", "f.csv:2: low is above high"},
      {"<DATE>\t<TIME>\t<OPEN>\t<HIGH>\t<LOW>\t<CLOSE>\n2024.03.05\t9h\t1\t2\t1\t1\n",
       "f.csv:2: bad time \"9h\""},
  };
  for (const auto& c : cases) {
    const BarsResult result = parseBars(c.text, "f.csv");
    EXPECT_EQ(result.error, c.error) << c.text;
    EXPECT_TRUE(result.bars.empty());
  }
  EXPECT_EQ(loadBars(dataFile("no-such-file.csv")).error,
            dataFile("no-such-file.csv") + ": cannot open the file");
}

std::vector<TimelineBar> numberedBars(int count) {
  std::vector<TimelineBar> bars;
  for (int i = 0; i < count; ++i)
    bars.push_back({2024, 1, i + 1, 0, 0, 0, 0, 10.0 + i, 12.0 + i, 9.0 + i, 11.0 + i});
  return bars;
}

TEST(BatchPlan, StartsWithTheFirstBatchAndAddsBarsPerRequest) {
  BatchPlan plan(numberedBars(10), {4, 3, 0});
  EXPECT_EQ(plan.batch().size(), 4u);
  plan.advance();
  ASSERT_EQ(plan.batch().size(), 7u);
  EXPECT_EQ(plan.batch().front().day, 1);  // always the whole history
  EXPECT_EQ(plan.batch().back().day, 7);
  plan.advance();
  EXPECT_EQ(plan.batch().size(), 10u);
  EXPECT_TRUE(plan.finished());
  plan.advance();  // nothing left: the same batch again
  EXPECT_EQ(plan.batch().size(), 10u);

  EXPECT_EQ(BatchPlan(numberedBars(3), {100, 1, 0}).batch().size(), 3u);
  EXPECT_EQ(BatchPlan(numberedBars(3), {0, 0, 0}).batch().size(), 1u);
}

TEST(BatchPlan, LiveModeFormsTheNewestBarBeforeAddingMore) {
  BatchPlan plan(numberedBars(3), {2, 1, 3});
  auto newest = [&] { return plan.batch().back(); };
  EXPECT_EQ(plan.batch().size(), 2u);
  EXPECT_LT(newest().close, 13.0);              // still forming
  EXPECT_EQ(plan.batch().front().close, 11.0);  // older bars are complete
  plan.advance();
  EXPECT_EQ(plan.batch().size(), 2u);
  plan.advance();
  EXPECT_EQ(plan.batch().size(), 2u);
  EXPECT_EQ(timelineLine(newest()), timelineLine(numberedBars(3)[1]));  // formed
  plan.advance();
  EXPECT_EQ(plan.batch().size(), 3u);
  EXPECT_FALSE(plan.finished());
  plan.advance();
  plan.advance();
  EXPECT_TRUE(plan.finished());
}

TEST(FormingBar, WalksThroughTheExtremesWithinTheFinalRange) {
  const TimelineBar rising{2024, 1,  2,  0, 0, 0,
                           0,    10, 14, 8, 13};  // path 10 -> 8 -> 14 -> 13, length 9
  const int steps = 9;
  double previousHigh = 10, previousLow = 10;
  for (int step = 1; step <= steps; ++step) {
    const TimelineBar bar = formingBar(rising, step, steps);
    EXPECT_EQ(bar.open, 10);
    EXPECT_GE(bar.low, 8);
    EXPECT_LE(bar.high, 14);
    EXPECT_LE(bar.high - previousHigh, 1.0 + 1e-9);
    EXPECT_GE(bar.close, bar.low);
    EXPECT_LE(bar.close, bar.high);
    EXPECT_LE(bar.low, previousLow);
    previousHigh = bar.high;
    previousLow = bar.low;
  }
  EXPECT_DOUBLE_EQ(formingBar(rising, 2, steps).close, 8);  // the low comes first on a rising bar
  EXPECT_DOUBLE_EQ(formingBar(rising, 5, steps).close, 11);
  EXPECT_DOUBLE_EQ(formingBar(rising, 5, steps).high, 11);
  EXPECT_EQ(timelineLine(formingBar(rising, steps, steps)), timelineLine(rising));

  const TimelineBar falling{2024, 1, 2, 0, 0, 0, 0, 10, 11, 6, 7};  // 10 -> 11 -> 6 -> 7
  EXPECT_DOUBLE_EQ(formingBar(falling, 1, 7).high, 11);
  EXPECT_DOUBLE_EQ(formingBar(falling, 1, 7).low, 10);
  const TimelineBar flat{2024, 1, 2, 0, 0, 0, 0, 5, 5, 5, 5};
  EXPECT_EQ(timelineLine(formingBar(flat, 1, 3)), timelineLine(flat));
}

}  // namespace
}  // namespace tavelund::feed
