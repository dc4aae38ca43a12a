// The timeline conversion: records and points of a line, the full
// conversion's progress text, and the update rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "intake/tick_intake.h"
#include "tests/support/process_memory.h"

namespace tavelund {
namespace {

std::string line(int minute, double open, double high, double low, double close, int second = 0) {
  char text[128];
  std::snprintf(text, sizeof text, "2024/03/05 09:%02d:%02d.000,%.5f,%.5f,%.5f,%.5f\n", minute,
                second, open, high, low, close);
  return text;
}

double asFloat(double value) { return static_cast<double>(static_cast<float>(value)); }

TEST(Conversion, ExpandedLineGivesOpenFartherExtremeClose) {
  TickIntake intake;
  convertTimeline(intake, "2024/03/05 09:07:59.999,2.00000,3.00000,1.00000,2.50000\n", true,
                  ConsolePort{});
  ASSERT_EQ(1u, intake.recordList.size());
  const PriceRecord& record = intake.recordList[0];
  EXPECT_EQ(202403050907, record.minuteKey);
  EXPECT_EQ("2024/03/05 09:07", record.minuteText);
  // Both extremes are 1.0 from the open: the tie takes the low.
  ASSERT_EQ(3u, intake.pointList.size());
  EXPECT_EQ(1, intake.pointList[0].kind);
  EXPECT_EQ(2.0, intake.pointList[0].price);
  EXPECT_EQ(3, intake.pointList[1].kind);
  EXPECT_EQ(1.0, intake.pointList[1].price);
  EXPECT_EQ(4, intake.pointList[2].kind);
  EXPECT_EQ(2.5, intake.pointList[2].price);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(i, intake.pointList[i].index);
    EXPECT_EQ(0, intake.pointList[i].recordIndex);
    EXPECT_EQ("2024/03/05 09:07", intake.pointList[i].text);
    EXPECT_EQ(202403050907, intake.pointList[i].minuteKey);
  }
  EXPECT_EQ(3u, intake.batchPointList.size());

  TickIntake plain;
  convertTimeline(plain, "2024/03/05 09:07:59.999,2.00000,3.00000,1.00000,2.50000\n", false,
                  ConsolePort{});
  ASSERT_EQ(1u, plain.pointList.size());
  EXPECT_EQ(4, plain.pointList[0].kind);
  EXPECT_EQ(2.5, plain.pointList[0].price);
}

// A text is sized by the records it can hold, not by its line ends: a block
// of nothing but line ends reserves about what a block of real lines does.
TEST(Conversion, MemoryFollowsTheRecordsATextCanHoldNotItsLineEnds) {
  const std::string blank(size_t{32} << 20, '\n');
  const auto before = testing::processMemory("VmSize");
  if (!before) GTEST_SKIP() << "SKIPPED: no /proc/self/status to read the address space from";
  TickIntake intake;
  // On one thread: a thread's own stack and heap are no part of it.
  convertTimeline(intake, blank, true, ConsolePort{}, 1);
  EXPECT_TRUE(intake.recordList.empty());
  // Reserved room counts: VmPeak is the most address space ever held.
  EXPECT_LT(*testing::processMemory("VmPeak") - *before, 3 * blank.size());
}

TEST(Conversion, HighFartherThanLowAndPricesHeldAsFloats) {
  TickIntake intake;
  convertTimeline(intake, "2024/03/05 09:07:00.000,1.0,1.5,0.9,1.08525\n", true, ConsolePort{});
  ASSERT_EQ(3u, intake.pointList.size());
  EXPECT_EQ(2, intake.pointList[1].kind);
  EXPECT_EQ(1.5, intake.pointList[1].price);
  EXPECT_EQ(asFloat(1.08525), intake.pointList[2].price);
  EXPECT_NE(1.08525, intake.pointList[2].price);
}

TEST(Conversion, MinuteTextKeepsTheLinesOwnDigitTexts) {
  TickIntake intake;
  convertTimeline(intake,
                  "2024/3/5 9:7:00.0,1,2,3,4\n"
                  "2024/03/ 5 12 09:08:00.000,1,2,3,4\n",
                  false, ConsolePort{});
  ASSERT_EQ(2u, intake.recordList.size());
  EXPECT_EQ("2024/3/5 9:7", intake.recordList[0].minuteText);
  EXPECT_EQ(202403050907, intake.recordList[0].minuteKey);
  // The day group " 5 12" reads as 5: blanks skipped, the rest ignored.
  EXPECT_EQ("2024/03/ 5 12 09:08", intake.recordList[1].minuteText);
  EXPECT_EQ(202403050908, intake.recordList[1].minuteKey);
}

TEST(Conversion, UnreadableLinesAreSkippedAndNumberingStaysDense) {
  const std::string text =
      "\n"
      "no comma at all\n" +
      line(1, 1, 2, 0.5, 1.5) +
      "2024/03/05 09:02:00.000,1,2,3\n"           // four fields
      "2024/03/05 09:02:00.000,1,2\n"             // three fields
      "2024/03/05 09:02:00.000,1\n"               // two fields
      "99999999999/03/05 09:02:00.000,1,2,3,4\n"  // year beyond int
      "2024/03/05 09:02:00.000,abc,2,3,4\n"       // a price that is no number
      "2024/03/05 09:02:00.000,1,2,3,1e39\n"      // beyond float range
      "2024/03/:5 09:02:00.000,1,2,3,4\n"         // day group without digits
      "2024-03-05 09:02:00.000,1,2,3,4\n"
      // Prices that no chart can be drawn from, in each field.
      "2024/03/05 09:02:00.000,0,2,3,4\n"
      "2024/03/05 09:02:00.000,1,-2,3,4\n"
      "2024/03/05 09:02:00.000,1,2,nan,4\n"
      "2024/03/05 09:02:00.000,1,2,3,inf\n"
      "2024/03/05 09:02:00.000,1,2,3,-0.0\n"
      "2024/03/05 09:02:00.000,1e-46,2,3,4\n" +
      line(3, 1, 2, 0.5, 1.25) + "2024/03/05 09:04:00.000,1,2,3,7";  // no line end
  TickIntake intake;
  convertTimeline(intake, text, false, ConsolePort{});
  ASSERT_EQ(3u, intake.recordList.size());
  EXPECT_EQ(202403050901, intake.recordList[0].minuteKey);
  EXPECT_EQ(202403050903, intake.recordList[1].minuteKey);
  EXPECT_EQ(202403050904, intake.recordList[2].minuteKey);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(i, intake.pointList[i].index);
    EXPECT_EQ(i, intake.pointList[i].recordIndex);
  }
  EXPECT_EQ(7.0, intake.pointList[2].price);
}

TEST(Conversion, EmptyTextMakesNothing) {
  TickIntake intake;
  std::ostringstream out;
  convertTimeline(intake, "", true, ConsolePort{&out, nullptr});
  EXPECT_TRUE(intake.recordList.empty());
  EXPECT_TRUE(intake.pointList.empty());
  EXPECT_TRUE(intake.batchPointList.empty());
  EXPECT_EQ("", out.str());
}

TEST(Conversion, ProgressEveryThousandRecordsWithTheLineTotal) {
  std::string text;
  for (int i = 0; i < 2500; ++i) text += line(i % 60, 1, 2, 0.5, 1.5);
  TickIntake intake;
  std::ostringstream out;
  convertTimeline(intake, text, false, ConsolePort{&out, nullptr});
  EXPECT_EQ(2500u, intake.recordList.size());
  const std::string back(40, '\b');
  EXPECT_EQ(back + "   CONVERSION : [ 1000 / 2500 ]" + back + "   CONVERSION : [ 2000 / 2500 ]",
            out.str());
}

TEST(Conversion, ProgressCountsRecordsNotLines) {
  // Skipped lines count in the total but not in the record count.
  std::string text;
  for (int i = 0; i < 1000; ++i) text += line(i % 60, 1, 2, 0.5, 1.5) + "junk\n";
  TickIntake intake;
  std::ostringstream out;
  convertTimeline(intake, text, false, ConsolePort{&out, nullptr});
  EXPECT_EQ(std::string(40, '\b') + "   CONVERSION : [ 1000 / 2000 ]", out.str());
}

class Update : public ::testing::Test {
 protected:
  void convert(const std::string& text) {
    out.str("");
    convertTimeline(intake, text, true, ConsolePort{&out, nullptr});
  }
  void expectDenseNumbering() {
    for (size_t i = 0; i < intake.pointList.size(); ++i) {
      ASSERT_EQ(static_cast<int32_t>(i), intake.pointList[i].index);
      ASSERT_EQ(static_cast<int32_t>(i / 3), intake.pointList[i].recordIndex);
    }
  }
  TickIntake intake;
  std::ostringstream out;
};

TEST_F(Update, SameBatchTwiceRebuildsOnlyTheNewestRecord) {
  const std::string batch =
      line(1, 1, 2, 0.5, 1.5) + line(2, 2, 3, 1.5, 2.5) + line(3, 3, 4, 2.5, 3.5);
  convert(batch);
  convert(batch);
  EXPECT_EQ(3u, intake.recordList.size());
  EXPECT_EQ(9u, intake.pointList.size());
  ASSERT_EQ(3u, intake.batchPointList.size());
  EXPECT_EQ(6, intake.batchPointList[0].index);
  EXPECT_EQ(2, intake.batchPointList[0].recordIndex);
  EXPECT_EQ(202403050903, intake.batchPointList[0].minuteKey);
  EXPECT_EQ("", out.str());  // the update prints no progress
  expectDenseNumbering();
}

TEST_F(Update, NewestBarChangesAndNewLinesFollow) {
  convert(line(1, 1, 2, 0.5, 1.5) + line(2, 2, 3, 1.5, 2.5));
  // The minute-2 bar moved on, and minute 3 started; older lines may differ,
  // since they are never read again.
  convert("garbage\n" + line(1, 9, 9, 9, 9) + line(2, 2, 3, 1.5, 2.75) + line(3, 3, 4, 2.5, 3.5));
  ASSERT_EQ(3u, intake.recordList.size());
  EXPECT_EQ(1.5, intake.recordList[0].close);
  EXPECT_EQ(2.75, intake.recordList[1].close);
  EXPECT_EQ(3.5, intake.recordList[2].close);
  ASSERT_EQ(6u, intake.batchPointList.size());
  EXPECT_EQ(1, intake.batchPointList[0].recordIndex);
  EXPECT_EQ(3, intake.batchPointList[0].index);
  EXPECT_EQ(2.75, intake.batchPointList[2].price);
  expectDenseNumbering();
}

TEST_F(Update, TwoLinesOfTheNewestMinuteStopAtTheLaterOne) {
  convert(line(1, 1, 2, 0.5, 1.5) + line(2, 2, 3, 1.5, 2.5));
  convert(line(1, 1, 2, 0.5, 1.5) + line(2, 2, 3, 1.5, 2.5) + line(2, 2, 3, 1.5, 2.6, 30) +
          line(3, 3, 4, 2.5, 3.5));
  // The walk from the end stops at the first line of minute 2 it meets.
  ASSERT_EQ(3u, intake.recordList.size());
  EXPECT_EQ(asFloat(2.6), intake.recordList[1].close);
  EXPECT_EQ(3.5, intake.recordList[2].close);
  expectDenseNumbering();
}

TEST_F(Update, BatchWithoutTheNewestMinuteReplacesItWithEveryLine) {
  convert(line(1, 1, 2, 0.5, 1.5) + line(2, 2, 3, 1.5, 2.5));
  convert(line(5, 5, 6, 4.5, 5.5) + "junk\n" + line(6, 6, 7, 5.5, 6.5));
  ASSERT_EQ(3u, intake.recordList.size());
  EXPECT_EQ(202403050901, intake.recordList[0].minuteKey);
  EXPECT_EQ(202403050905, intake.recordList[1].minuteKey);
  EXPECT_EQ(202403050906, intake.recordList[2].minuteKey);
  EXPECT_EQ(6u, intake.batchPointList.size());
  expectDenseNumbering();
}

TEST_F(Update, AnOlderMinuteAfterTheNewestDoesNotStopTheWalk) {
  convert(line(1, 1, 2, 0.5, 1.5) + line(5, 2, 3, 1.5, 2.5));
  // The clock went back after minute 7: only the newest record's own minute
  // ends the walk, not any minute at or before it.
  convert(line(1, 1, 2, 0.5, 1.5) + line(5, 2, 3, 1.5, 2.5) + line(7, 3, 4, 2.5, 3.5) +
          line(3, 4, 5, 3.5, 4.5) + line(8, 5, 6, 4.5, 5.5));
  ASSERT_EQ(5u, intake.recordList.size());
  EXPECT_EQ(202403050905, intake.recordList[1].minuteKey);
  EXPECT_EQ(202403050907, intake.recordList[2].minuteKey);
  EXPECT_EQ(202403050903, intake.recordList[3].minuteKey);
  EXPECT_EQ(202403050908, intake.recordList[4].minuteKey);
  EXPECT_EQ(12u, intake.batchPointList.size());
  expectDenseNumbering();
}

TEST_F(Update, TextsOutliveTheTimelineAndRefreshesDoNotGrowThem) {
  // Minute texts longer than a record holds in place (a padded year) are
  // kept aside; the usual ones in the record itself.
  auto padded = [](int minute) {
    return "0" + line(minute, minute, minute + 1, minute - 0.5, minute + 0.5);
  };
  std::string batch = padded(1) + line(2, 2, 3, 1.5, 2.5) + padded(3);
  convert(batch);
  const size_t stored = intake.texts.storedBytes();
  EXPECT_EQ(2 * std::string_view("02024/03/05 09:01").size(), stored);
  for (int i = 0; i < 5; ++i) convert(batch);
  EXPECT_EQ(stored, intake.texts.storedBytes());
  // The link's text is overwritten by the next read; what was kept is not.
  std::fill(batch.begin(), batch.end(), '#');
  EXPECT_EQ("02024/03/05 09:01", intake.recordList[0].minuteText);
  EXPECT_EQ("2024/03/05 09:02", intake.recordList[1].minuteText);
  EXPECT_EQ("02024/03/05 09:03", intake.pointList.back().text);
  convert(padded(3) + padded(4));
  EXPECT_EQ("02024/03/05 09:04", intake.recordList.back().minuteText);
  EXPECT_EQ(stored + 17, intake.texts.storedBytes());
}

TEST_F(Update, BatchWithoutAnyRecordKeepsTheNewestRecord) {
  convert(line(1, 1, 2, 0.5, 1.5) + line(2, 2, 3, 1.5, 2.5));
  struct Before {
    RecordList recordList;
    CopiedPoints pointList;
  } before{intake.recordList, {}};
  for (size_t i = 0; i < intake.pointList.size(); ++i) before.pointList.append(intake.pointList[i]);
  for (const char* text : {"", "junk\nmore junk\n", "\n\n"}) {
    convert(text);
    ASSERT_EQ(before.recordList.size(), intake.recordList.size());
    ASSERT_EQ(before.pointList.size(), intake.pointList.size());
    EXPECT_EQ(before.recordList.back().close, intake.recordList.back().close);
    for (size_t i = 0; i < intake.pointList.size(); ++i) {
      EXPECT_EQ(before.pointList[i].index, intake.pointList[i].index);
      EXPECT_EQ(before.pointList[i].kind, intake.pointList[i].kind);
      EXPECT_EQ(before.pointList[i].price, intake.pointList[i].price);
    }
    EXPECT_TRUE(intake.batchPointList.empty());
  }
}

}  // namespace
}  // namespace tavelund
