// The live view's alerts on the view thread's path, with a fake MT5 side
// that publishes bars drawn to complete known signals: which batches alert
// (once per signal, only while live), the run-log entries, the window title,
// the bell, and B.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/chart_history.h"
#include "analysis/patterns.h"
#include "common/chart_lock.h"
#include "common/run_log.h"
#include "console/commands.h"
#include "console/live_view.h"
#include "console/signal_alerts.h"
#include "console/viewer.h"
#include "tests/console/daily_timeline.h"

namespace tavelund {
namespace {

// One flat bar a day (28-day months from 2000/01/01), reversal 3, 1 % box:
// a Double Top Breakout at bar 14 (2000/01/15, 112); a Double Top Breakout
// and an Ascending Triple Top at bar 23 (2000/01/24, 118); a High Pole at
// bar 26 (2000/01/27, 112) and a Double Bottom Breakdown at bar 27
// (2000/01/28, 108); more signals after bar 30.
const std::vector<double> kPrices = {100, 102, 104, 106, 108, 110, 108, 106, 104, 102, 104, 106,
                                     108, 110, 112, 114, 116, 114, 112, 110, 112, 114, 116, 118,
                                     120, 116, 112, 108, 104, 100, 96,  100, 104, 92,  88};

std::string gLines;
std::string gSendTime;

const LinkCalls kFakeLink{
    [] { return gSendTime.c_str(); }, [] { return "SP500"; },        [] { return 1; },
    [](int*) { return 1; },           [] { return gLines.c_str(); },
};

// The first `bars` bars, the newest one at `newest` when given: the forming
// bar as the producer reads it again.
std::string timeline(int bars, std::optional<double> newest = std::nullopt) {
  return testing::dailyTimeline(bars, [&](int i) {
    return i == bars - 1 && newest ? *newest : kPrices[static_cast<size_t>(i)];
  });
}

class SignalAlertsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    viewer = std::make_unique<Viewer>();
    viewer->link = kFakeLink;
    viewer->linkInfo = {"SP500", "D1"};
    viewer->io.out = &out;
    viewer->io.err = &out;
    viewer->io.resetScreen = [] {};
    viewer->io.setTitle = [this](const char* title) { titles.emplace_back(title); };
    viewer->io.ringBell = [this] { ++bells; };
    publish(timeline(13));
    run(command::kRefresh);
  }

  // The producer publishes unasked: new lines, then a new send time.
  void publish(std::string lines) {
    gLines = std::move(lines);
    gSendTime = "2024/01/02 03:04:" + std::to_string(10 + published++) + ".000";
  }

  // One view pass with `command` pending ('n': none, the live view's turn).
  std::string run(char command) {
    out.str("");
    viewer->commandCell.exchange(command);
    runViewPass(*viewer);
    return out.str();
  }

  size_t chartSignalCount() {
    std::lock_guard<std::mutex> lock(chartLock);
    return analysis::findSignals(analysis::historyAt(viewer->chart, 0, true)).size();
  }

  std::unique_ptr<Viewer> viewer;
  std::ostringstream out;
  std::vector<std::string> titles;
  int bells = 0;
  int published = 0;
};

TEST_F(SignalAlertsTest, OnlyLiveBatchesAlertTheirNewSignalsOnce) {
  const std::string live = kLiveWindowTitle;
  const struct Step {
    const char* what;
    char command;
    int bars;  // published before the command; 0: nothing published
    std::optional<double> newest;
    std::vector<std::string> entries;  // the run-log entries the step adds
    int bells;
    std::vector<std::string> titles;  // the titles the step sets
    size_t chartSignals;              // what the chart holds after the step
  } steps[] = {
      {"U with the live view off completes a signal", 'u', 15, {}, {}, 0, {}, 1},
      {"A: the chart as it stands is old news", 'a', 0, {}, {"LIVE VIEW   : ON"}, 0, {live}, 1},
      {"a batch without a new signal", 'n', 23, {}, {}, 0, {}, 1},
      {"a batch completing two: one bell, an entry each, the newest in the title",
       'n',
       24,
       {},
       {"SIGNAL      : 2000/01/24 00:00 BUY Double Top Breakout 118.00000",
        "SIGNAL      : 2000/01/24 00:00 BUY Ascending Triple Top 118.00000"},
       1,
       {live + " - BUY Ascending Triple Top 118.00000"},
       3},
      {"the forming bar read again higher: the same signals", 'n', 24, 118.5, {}, 0, {}, 3},
      {"read again lower: the batch takes them back", 'n', 24, 116, {}, 0, {}, 1},
      {"and completes them again: not alerted twice", 'n', 24, 118, {}, 0, {}, 3},
      {"B mutes the bell", 'b', 0, {}, {"ALERT BELL  : OFF"}, 0, {}, 3},
      {"U while live is a batch too: alerted, without the bell",
       'u',
       28,
       {},
       {"SIGNAL      : 2000/01/27 00:00 SELL High Pole 112.00000",
        "SIGNAL      : 2000/01/28 00:00 SELL Double Bottom Breakdown 108.00000"},
       0,
       {live + " - SELL Double Bottom Breakdown 108.00000"},
       5},
      {"B again: the bell is back", 'b', 0, {}, {"ALERT BELL  : ON"}, 0, {}, 5},
      {"A: off, the plain title", 'a', 0, {}, {"LIVE VIEW   : OFF"}, 0, {kWindowTitle}, 5},
      {"a batch with the live view off is not even read", 'n', 35, {}, {}, 0, {}, 5},
      {"U with the live view off: new signals, no alert", 'u', 35, {}, {}, 0, {}, 8},
      {"A on again: what the chart holds stays quiet",
       'a',
       0,
       {},
       {"LIVE VIEW   : ON"},
       0,
       {live},
       8},
      {"a batch re-read unchanged", 'n', 35, {}, {}, 0, {}, 8},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    if (step.bars > 0) publish(timeline(step.bars, step.newest));
    const size_t logged = runLog().size();
    titles.clear();
    bells = 0;
    run(step.command);
    std::vector<std::string> entries;
    for (size_t i = logged; i < runLog().size(); ++i) entries.push_back(runLog()[i].message);
    EXPECT_EQ(entries, step.entries);
    EXPECT_EQ(bells, step.bells);
    EXPECT_EQ(titles, step.titles);
    EXPECT_EQ(chartSignalCount(), step.chartSignals);
  }
}

// A producer that starts over with bars of its own: the log keeps the
// newest signals of the batch and a note of the rest.
TEST_F(SignalAlertsTest, AFloodOfSignalsLogsTheNewestAndCountsTheRest) {
  run(command::kLiveToggle);
  const size_t before = chartSignalCount();
  // Two waves on a rising trend: some 35 signals of both sides.
  publish(testing::dailyTimeline(500, [](int i) {
    return 1000 * (1 + 0.0004 * i + 0.07 * std::sin(i / 6.0) + 0.02 * std::sin(i / 1.7));
  }));
  const size_t logged = runLog().size();
  run(command::kNone);
  const size_t fresh = chartSignalCount() - before;
  ASSERT_GT(fresh, kMostSignalEntries);
  ASSERT_EQ(runLog().size() - logged, kMostSignalEntries);
  EXPECT_EQ(runLog()[logged].message, unloggedSignalsNote(fresh - (kMostSignalEntries - 1)));
  EXPECT_EQ(runLog().back().message.rfind("SIGNAL      : ", 0), 0u);
  EXPECT_EQ(bells, 1);
}

// B's state is one line of the P screen; pressed there, the screen shows the
// new state, and pressed over the chart it redraws the chart.
TEST_F(SignalAlertsTest, BShowsItsStateOnTheAnalysisScreen) {
  EXPECT_NE(run(command::kAnalysis).find("\n         'b'          Key  : Alert Bell (ON)\n"),
            std::string::npos);
  const std::string muted = run(command::kBellToggle);
  EXPECT_NE(muted.find("Alert Bell (OFF)"), std::string::npos) << muted;
  EXPECT_EQ(muted.find("LAST LINE : "), std::string::npos);
  run(command::kRedraw);
  const std::string unmuted = run(command::kBellToggle);
  EXPECT_EQ(unmuted.rfind("UPDATE >> ", 0), 0u) << unmuted;
  EXPECT_NE(run(command::kAnalysis).find("Alert Bell (ON)"), std::string::npos);
  EXPECT_EQ(bells, 0);
}

// The title stays one short line whatever the price's length.
TEST(AlertTitle, StaysWithinItsCells) {
  analysis::Signal signal;
  signal.price = 3.4e38;
  const std::string title = alertTitle(kLiveWindowTitle, signal, 10);
  EXPECT_LE(title.size(), kMostAlertTitleCells);
  EXPECT_EQ(title.rfind(std::string(kLiveWindowTitle) + " - BUY Double Top Breakout 3", 0), 0u);
}

}  // namespace
}  // namespace tavelund
