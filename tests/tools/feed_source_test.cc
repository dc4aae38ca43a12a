#include "tools/feed_source.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "common/split.h"

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
  // Timed at its minute, as the MT5 side publishes a bar.
  EXPECT_EQ(timelineLine(result.bars[1]),
            "2024/01/02 10:15:00.000,1.50000,2.00000,1.00000,1.75000\n");

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
      // Days that do not exist.
      {"date,open,high,low,close\n2021-02-28,1,1,1,1\n2021-02-30,1,1,1,1\n",
       "f.csv:3: bad date \"2021-02-30\""},
      {"date,open,high,low,close\n2023-02-29,1,1,1,1\n", "f.csv:2: bad date \"2023-02-29\""},
      {"date,open,high,low,close\n2021-04-31,1,1,1,1\n", "f.csv:2: bad date \"2021-04-31\""},
      {"date,open,high,low,close\n1900-02-29,1,1,1,1\n", "f.csv:2: bad date \"1900-02-29\""},
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
            dataFile("no-such-file.csv") + ": cannot open the file (No such file or directory)");
  // Leap days are fine.
  EXPECT_TRUE(
      parseBars("date,open,high,low,close\n2024-02-29,1,1,1,1\n2000-02-29,1,1,1,1\n", "f").ok());
}

// The first row of a file whose only bar has these prices.
BarsResult oneBar(const std::string& open, const std::string& high, const std::string& low,
                  const std::string& close) {
  return parseBars(
      "date,open,high,low,close\n2024-01-02," + open + "," + high + "," + low + "," + close + "\n",
      "bars.csv");
}

// The link writes five decimals that the viewer reads as a float and keeps
// only above zero: the feed refuses what would not arrive intact, and what
// it accepts arrives within a part in 10^4.
TEST(ParseBars, RefusesPricesAndBarsTheLinkCannotCarry) {
  const std::string floatMax = "340282346638528859811704183484516925440";  // the largest float
  const std::string e38 = "34" + std::string(37, '0');                     // 3.4e38, below it
  const std::string over = "35" + std::string(37, '0');                    // 3.5e38, above it
  const std::string e39 = "1" + std::string(39, '0');
  const std::string e308 = "1" + std::string(308, '0');
  auto carried = [](const char* name, const std::string& text, const std::string& why) {
    return "bars.csv:2: " + std::string(name) + " price " + quotedInput(text) +
           " cannot be carried by the link (" + why + ")";
  };
  const struct {
    std::string open, high, low, close;
    std::string error;  // empty: accepted
  } cases[] = {
      // Accepted: exact or close enough at five decimals, within a float.
      {"1", "1", "1", "1", ""},
      {"0.00001", "0.00002", "0.00001", "0.00002", ""},
      {"0.0500049", "0.1000049", "0.05", "0.1", ""},  // 0.05000 is 9.8e-5 off: inside
      {"1.234567", "2", "1", "1.5", ""},
      {e38, floatMax, "1", floatMax, ""},
      {"2", "3", "1", "2", ""},
      // The five decimals lose the price.
      {"0.000001", "1", "0.000001", "1",
       carried("open", "0.000001", "5 decimals: 0.00000, off by more than 1 part in 10000")},
      {"1", "1", "0.0000123", "1",
       carried("low", "0.0000123", "5 decimals: 0.00001, off by more than 1 part in 10000")},
      {"1", "1", "0.0400049", "1",  // 0.04000 is 1.2e-4 off
       carried("low", "0.0400049", "5 decimals: 0.04000, off by more than 1 part in 10000")},
      {"1", "1", "1", "0.000016",
       carried("close", "0.000016", "5 decimals: 0.00002, off by more than 1 part in 10000")},
      // Beyond a float, where the viewer would read infinity or nothing.
      {"1", e308, "1", "1", carried("high", e308, "beyond the viewer's single-precision range")},
      {"1", e39, "1", "1", carried("high", e39, "beyond the viewer's single-precision range")},
      {"1", over, "1", "1", carried("high", over, "beyond the viewer's single-precision range")},
      // Not above zero.
      {"-5", "1", "-5", "1", carried("open", "-5", "not above zero")},
      {"1", "1", "0", "1", carried("low", "0", "not above zero")},
      {"1", "1", "-0.0", "1", carried("low", "-0.0", "not above zero")},
      // Bars whose high and low do not hold the open and the close.
      {"1", "1", "2", "1", "bars.csv:2: low is above high"},
      {"2", "1.5", "1", "1.2", "bars.csv:2: high is below open"},
      {"1", "1.5", "1", "2", "bars.csv:2: high is below close"},
      {"1", "2", "1.5", "1.8", "bars.csv:2: low is above open"},
      {"1.8", "2", "1.5", "1.2", "bars.csv:2: low is above close"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.open + "," + c.high + "," + c.low + "," + c.close);
    const BarsResult result = oneBar(c.open, c.high, c.low, c.close);
    EXPECT_EQ(result.error, c.error);
    if (!c.error.empty()) {
      EXPECT_TRUE(result.bars.empty());
      continue;
    }
    // What is accepted arrives: each price of the published line, read as
    // the viewer reads it, is above zero and within a part in 10^4.
    ASSERT_EQ(result.bars.size(), 1u);
    const TimelineBar& bar = result.bars[0];
    const std::string line = timelineLine(bar);
    const auto fields = splitViews(std::string_view(line).substr(0, line.size() - 1), ",");
    ASSERT_EQ(fields.size(), 5u);
    const double prices[] = {bar.open, bar.high, bar.low, bar.close};
    for (int i = 0; i < 4; ++i) {
      const float read = std::strtof(std::string(fields[i + 1]).c_str(), nullptr);
      EXPECT_TRUE(std::isfinite(read) && read > 0) << fields[i + 1];
      EXPECT_LE(std::fabs(std::stod(std::string(fields[i + 1])) - prices[i]), prices[i] * 1e-4)
          << fields[i + 1];
    }
  }
}

TEST(ParseBars, ErrorTextsCutLongQuotesAndEscapeControlBytes) {
  const std::string header(10'000'000, 'x');
  const BarsResult huge = parseBars(header + "\n1,2,3\n", "f.csv");
  EXPECT_EQ(huge.error,
            "f.csv:1: header must name the columns date, open, high, low and close; found \"" +
                std::string(80, 'x') + "\"... (10000000 bytes)");

  // An escape sequence that would retitle a terminal, and raw binary bytes.
  const BarsResult control =
      parseBars("date,open,high,low,close\n\x1b]0;owned\x07,1,1,1,1\n", "f.csv");
  EXPECT_EQ(control.error, "f.csv:2: bad date \"\\x1B]0;owned\\x07\"");
  const BarsResult binary =
      parseBars("date,open,high,low,close\n2024-01-02,1,\xff\xfe\x9b,1,1\n", "f.csv");
  EXPECT_EQ(binary.error, "f.csv:2: bad high price \"\\xFF\\xFE\\x9B\"");
  EXPECT_EQ(quotedInput("abc", 2), "\"ab\"... (3 bytes)");
  EXPECT_EQ(quotedInput("abc", 3), "\"abc\"");
}

TEST(ParseBars, BarsAreTimedAtTheirMinuteAndOneMinuteIsOneBar) {
  // Rows within a minute in any order of the file: merged in time order.
  const BarsResult result = parseBars(
      "date,open,high,low,close\n"
      "2024-01-02 10:15:40,3,9,2,4\n"
      "2024-01-02 10:15:05.500,5,6,1,5.5\n"
      "2024-01-02 10:16:59.999,7,7,7,7\n"
      "2024-01-02 10:15:20,2,3,0.5,2.5\n",
      "m.csv");
  ASSERT_TRUE(result.ok()) << result.error;
  ASSERT_EQ(result.bars.size(), 2u);
  EXPECT_EQ(timelineLine(result.bars[0]),
            "2024/01/02 10:15:00.000,5.00000,9.00000,0.50000,4.00000\n");
  EXPECT_EQ(timelineLine(result.bars[1]),
            "2024/01/02 10:16:00.000,7.00000,7.00000,7.00000,7.00000\n");

  // The same minute on another day, and a repeated row, stay apart / merge.
  const BarsResult days = parseBars(
      "date,open,high,low,close\n2024-01-03 10:15,1,2,1,2\n2024-01-02 10:15,1,2,1,2\n"
      "2024-01-02 10:15,1,2,1,2\n",
      "d.csv");
  ASSERT_TRUE(days.ok()) << days.error;
  ASSERT_EQ(days.bars.size(), 2u);
  EXPECT_EQ(days.bars[0].day, 2);
  EXPECT_EQ(days.bars[1].day, 3);
}

TEST(ParseBars, LfAndCrLfLineEndsReadTheSame) {
  const std::string lf =
      "date,open,high,low,close\n2024-01-02,1,2,0.5,1.5\n2024-01-03,1.5,2.5,1,2\n";
  std::string crlf;
  for (const char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const BarsResult a = parseBars(lf, "lf.csv");
  const BarsResult b = parseBars(crlf, "crlf.csv");
  ASSERT_TRUE(a.ok() && b.ok()) << a.error << b.error;
  ASSERT_EQ(a.bars.size(), 2u);
  ASSERT_EQ(b.bars.size(), 2u);
  for (size_t i = 0; i < 2; ++i) EXPECT_EQ(timelineLine(a.bars[i]), timelineLine(b.bars[i]));
}

class LoadBarsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("feed_load_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string write(const char* name, const std::string& bytes) {
    const auto path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::filesystem::path folder_;
};

TEST_F(LoadBarsFiles, RefusesDirectoriesOversizedAndBinaryFiles) {
  using namespace std::string_literals;
  EXPECT_EQ(loadBars(folder_.string()).error,
            folder_.string() + ": is a directory, not a file of bars");

  const std::string rows = "date,open,high,low,close\n2024-01-02,1,2,0.5,1.5\n";
  const std::string fits = write("fits.csv", rows);
  EXPECT_TRUE(loadBars(fits, rows.size()).ok());
  EXPECT_EQ(loadBars(fits, rows.size() - 1).error,
            fits +
                ": larger than 0 MiB; the feed reads at most that much (the timeline holds "
                "128 MiB)");

  const std::string zero = write("zero.csv", rows + "2024-01-03,1,2\0,1,1\n"s);
  EXPECT_EQ(loadBars(zero).error, zero + ":3: a NUL byte; this is not a text file");
  const std::string wide = write("wide.csv", std::string("\xFF\xFE"
                                                         "d\0a\0",
                                                         6));
  EXPECT_EQ(loadBars(wide).error, wide + ": the file is UTF-16 text; save it as UTF-8 or ASCII");
  EXPECT_TRUE(loadBars(write("plain.csv", rows)).ok());
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
