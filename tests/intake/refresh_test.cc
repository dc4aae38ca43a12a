// The send-flag hand-shake of a refresh, against a fake MT5 side.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "common/chart_lock.h"
#include "intake/tick_intake.h"
#include "tests/support/progress_text.h"

namespace tavelund {
namespace {

// The fake MT5 side: raises the flag after a number of polls once it has
// been asked (or never, with -1).
struct FakeSide {
  static inline int flag = 0;
  static inline int pollsUntilReady = -1;
  static inline int polls = 0;
  static inline std::vector<int> written;
  static inline const char* text = "";

  static int setSendCheck(int* value) {
    written.push_back(*value);
    flag = *value;
    polls = 0;
    return 1;
  }
  static int getSendCheck() {
    ++polls;
    if (flag != 1 && pollsUntilReady >= 0 && polls >= pollsUntilReady) flag = 1;
    return flag;
  }
  static const char* readLines() { return text; }
};

const char* const kTimeline =
    "2024/03/05 09:01:00.000,1.00000,2.00000,0.50000,1.50000\n"
    "2024/03/05 09:02:00.000,2.00000,3.00000,1.50000,2.50000\n";

class Refresh : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeSide::flag = 0;
    FakeSide::pollsUntilReady = -1;
    FakeSide::polls = 0;
    FakeSide::written.clear();
    FakeSide::text = kTimeline;
    console.out = &out;
    console.clearScreen = [this] { clears.push_back(intake.recordList.size()); };
  }
  long long refreshMilliseconds() {
    out.str("");
    clears.clear();
    const auto start = std::chrono::steady_clock::now();
    refreshRecords(intake, settings, link, console, limits);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  }
  // The progress prints: each one overwrites the last with 28 backspaces.
  std::vector<long long> progressValues() const {
    return testing::progressValues(out.str(), std::string(28, '\b') + "    UPDATE... ");
  }

  TickIntake intake;
  ChartSettings settings;
  RefreshLimits limits;
  LinkCalls link{.getSendCheck = &FakeSide::getSendCheck,
                 .setSendCheck = &FakeSide::setSendCheck,
                 .readLines = &FakeSide::readLines};
  std::ostringstream out;
  ConsolePort console;
  std::vector<size_t> clears;
};

TEST_F(Refresh, FirstRefreshWithTheFlagUpConvertsAtOnceWithoutAsking) {
  FakeSide::flag = 1;
  EXPECT_LT(refreshMilliseconds(), 1000);
  EXPECT_TRUE(FakeSide::written.empty());
  const std::string text = out.str();
  EXPECT_EQ(0u, text.find(std::string(28, '\b') + "    UPDATE... "));
  const std::string done = " milSecond\r\n    Done.\n";
  ASSERT_GE(text.size(), done.size());
  EXPECT_EQ(done, text.substr(text.size() - done.size()));
  EXPECT_EQ(1u, progressValues().size());
  // Cleared before and after the conversion.
  EXPECT_EQ((std::vector<size_t>{0, 2}), clears);
  EXPECT_EQ(2u, intake.recordList.size());
  EXPECT_TRUE(chartLock.try_lock());
  chartLock.unlock();
}

TEST_F(Refresh, LaterRefreshAsksWithZeroAndPollsUntilTheOne) {
  FakeSide::flag = 1;
  refreshMilliseconds();
  FakeSide::pollsUntilReady = 4;
  EXPECT_LT(refreshMilliseconds(), 4000);
  EXPECT_EQ(std::vector<int>{0}, FakeSide::written);
  EXPECT_EQ(4, FakeSide::polls);
  EXPECT_EQ(4u, progressValues().size());
  EXPECT_EQ(2u, intake.recordList.size());
  EXPECT_EQ(1u, intake.batchPointList.size());  // the newest bar, rebuilt
}

TEST_F(Refresh, LaterRefreshGivesUpAfterItsAnswerWaitAndConvertsAnyway) {
  FakeSide::flag = 1;
  refreshMilliseconds();
  FakeSide::text =
      "2024/03/05 09:02:00.000,2.00000,3.00000,1.50000,2.75000\n"
      "2024/03/05 09:03:00.000,2.00000,3.00000,1.50000,2.50000\n";
  limits.answerWait = std::chrono::milliseconds(300);
  const long long took = refreshMilliseconds();
  EXPECT_GE(took, 300);
  const std::vector<long long> values = progressValues();
  ASSERT_GE(values.size(), 2u);
  // It gives up at the first poll at or past the wait (wall-clock bounds
  // would fail on a loaded machine, the order of the polls does not).
  EXPECT_GE(values.back(), 300);
  EXPECT_LT(values[values.size() - 2], 300);
  for (size_t i = 1; i < values.size(); ++i) ASSERT_LE(values[i - 1], values[i]);
  // Polled every millisecond: a longer pause between polls would never let
  // two prints lie as close as 2 ms (the values are whole milliseconds).
  EXPECT_GT(values.size(), 10u);
  long long closest = values[1] - values[0];
  for (size_t i = 1; i < values.size(); ++i) closest = std::min(closest, values[i] - values[i - 1]);
  EXPECT_LE(closest, 2);
  EXPECT_EQ(3u, intake.recordList.size());
  EXPECT_EQ(2.75, intake.recordList[1].close);
}

TEST_F(Refresh, FirstRefreshWaitsItsFirstBatchWaitForASilentSide) {
  // The viewer's own limits; the tests shorten them.
  EXPECT_EQ(RefreshLimits{}.firstBatchWait, std::chrono::seconds(10));
  EXPECT_EQ(RefreshLimits{}.answerWait, std::chrono::seconds(5));
  EXPECT_EQ(RefreshLimits{}.progressInterval, std::chrono::milliseconds(1));
  FakeSide::text = "";
  limits.firstBatchWait = std::chrono::milliseconds(200);
  limits.answerWait = std::chrono::milliseconds(20000);  // not the wait that applies
  const long long took = refreshMilliseconds();
  EXPECT_GE(took, 200);
  const std::vector<long long> values = progressValues();
  ASSERT_GE(values.size(), 2u);
  EXPECT_GE(values.back(), 200);
  EXPECT_LT(values[values.size() - 2], 200);
  EXPECT_TRUE(FakeSide::written.empty());
  EXPECT_TRUE(intake.recordList.empty());
  EXPECT_EQ((std::vector<size_t>{0, 0}), clears);
}

TEST_F(Refresh, NoTextFromTheLibraryIsAnEmptyTimeline) {
  FakeSide::flag = 1;
  LinkCalls nullText = link;
  nullText.readLines = [] { return static_cast<const char*>(nullptr); };
  refreshRecords(intake, settings, nullText, console);
  EXPECT_TRUE(intake.recordList.empty());
}

}  // namespace
}  // namespace tavelund
