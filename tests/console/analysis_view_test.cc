// The viewer's analysis keys on the view thread's path, with a fake MT5
// side: T draws the trend line over the chart and takes it away again, P
// shows the analysis screen; neither changes the chart or the offsets.
#include "console/analysis_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/report.h"
#include "common/chart_lock.h"
#include "console/analysis_screen.h"
#include "console/commands.h"
#include "console/live_view.h"
#include "console/screens.h"
#include "console/terminal.h"
#include "tests/console/daily_timeline.h"
#include "tests/support/file_text.h"

namespace tavelund {
namespace {

using testing::linesOf;

std::string gLines;
std::string gSendTime = "2024/01/02 03:04:05.006";

const LinkCalls kFakeLink{
    [] { return gSendTime.c_str(); }, [] { return "SP500"; },        [] { return 1; },
    [](int*) { return 1; },           [] { return gLines.c_str(); },
};

// Two waves on a rising trend: columns enough for signals of both sides.
std::string waveLines(int count) {
  return testing::dailyTimeline(count, [](int i) {
    return 1000 * (1 + 0.0004 * i + 0.07 * std::sin(i / 6.0) + 0.02 * std::sin(i / 1.7));
  });
}

class AnalysisKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    gLines = waveLines(500);
    viewer = std::make_unique<Viewer>();
    viewer->link = kFakeLink;
    viewer->linkInfo = {"SP500", "D1"};
    viewer->io.out = &out;
    viewer->io.err = &out;
    viewer->io.resetScreen = [] {};
    run('u');
  }
  void TearDown() override {
    consoleHeight.store(40);
    gSendTime = "2024/01/02 03:04:05.006";
  }

  std::string run(char command) {
    out.str("");
    viewer->commandCell.exchange(command);
    executeCommand(*viewer);
    return out.str();
  }

  std::unique_ptr<Viewer> viewer;
  std::ostringstream out;
};

TEST_F(AnalysisKeys, TDrawsTheTrendLineOnEmptyCellsAndTakesItAway) {
  // Later the rise breaks its support line, and with no sell signal after
  // it there is no line to draw.
  gLines = waveLines(150);
  run('u');
  const auto plain = linesOf(run('r'));
  const auto marked = linesOf(run(command::kTrendLine));
  ASSERT_EQ(plain.size(), marked.size());
  int pluses = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    ASSERT_EQ(plain[i].size(), marked[i].size()) << i;
    for (size_t c = 0; c < plain[i].size(); ++c) {
      if (plain[i][c] == marked[i][c]) continue;
      EXPECT_EQ('.', plain[i][c]) << "only empty cells change, line " << i;
      EXPECT_EQ('+', marked[i][c]);
      ++pluses;
    }
  }
  EXPECT_GT(pluses, 0);
  // It stays on for the following redraws and moves, until T again.
  EXPECT_NE(std::string::npos, run('r').find('+'));
  run('-');
  EXPECT_NE(std::string::npos, run('0').find('+'));
  EXPECT_EQ(plain, linesOf(run(command::kTrendLine)));
  EXPECT_EQ(plain, linesOf(run('r')));
}

TEST_F(AnalysisKeys, PShowsTheAnalysisOfTheChartAtTheOffset) {
  consoleHeight.store(1000);  // room for every signal
  const auto chart = run('r');
  const auto screen = linesOf(run(command::kAnalysis));
  ASSERT_GT(screen.size(), kAnalysisFrameLines);
  EXPECT_EQ(screenRule(), screen.front());
  EXPECT_EQ(screenRule(), screen.back());
  EXPECT_EQ("         POINT AND FIGURE ANALYSIS", screen[14]);  // after the banner and its rules
  EXPECT_EQ("         'p'          Key  : Analysis", screen[screen.size() - 5]);
  EXPECT_EQ("         't'          Key  : Trend Line On Chart", screen[screen.size() - 4]);
  EXPECT_EQ("         'b'          Key  : Alert Bell (ON)", screen[screen.size() - 3]);

  // The same text as the analysis of the chart at the offset says.
  std::vector<std::string> text;
  {
    std::lock_guard<std::mutex> lock(chartLock);
    text = analysis::reportLines(analysis::analyze(viewer->chart, viewer->settings.viewOffset()));
  }
  // Each line on one row of the console (80 cells here).
  std::ostringstream framed;
  writeAnalysisScreen(framed, text, screenLineRoom(consoleWidth.load()), true);
  EXPECT_EQ(framed.str(), run(command::kAnalysis));
  // The chart is as it was.
  EXPECT_EQ(chart, run('r'));

  // Scrolled back, the analysis is the older chart's.
  run('-');
  const std::string older = run(command::kAnalysis);
  EXPECT_NE(framed.str(), older);
}

TEST_F(AnalysisKeys, ASmallWindowShowsTheNewestSignalsThatFit) {
  consoleHeight.store(1000);
  const auto tall = linesOf(run(command::kAnalysis));
  // 31 lines of frame and text around the signals, and the last line end:
  // four signals and the count of the rest fit 37 lines.
  consoleHeight.store(37);
  const auto small = linesOf(run(command::kAnalysis));
  EXPECT_EQ(36u, small.size());
  EXPECT_LT(small.size(), tall.size());
  bool counted = false;
  for (const std::string& line : small) counted |= line.find(" OLDER") != std::string::npos;
  EXPECT_TRUE(counted);
  // The newest signal comes first in both.
  const auto first = [](const std::vector<std::string>& lines) {
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
      if (lines[i].find("SIGNALS OF THE SHOWN COLUMNS") != std::string::npos) return lines[i + 1];
    }
    return std::string();
  };
  EXPECT_EQ(first(tall), first(small));
}

TEST_F(AnalysisKeys, TheLiveViewLeavesTheAnalysisScreenAlone) {
  run(command::kLiveToggle);  // on, at the newest state
  ASSERT_TRUE(viewer->live.on);
  run(command::kAnalysis);
  gSendTime = "2024/01/02 03:04:06.000";  // the producer published unasked
  out.str("");
  EXPECT_FALSE(followProducer(*viewer));
  EXPECT_EQ("", out.str());
  // T shows the chart again, which the live view then follows.
  run(command::kTrendLine);
  gSendTime = "2024/01/02 03:04:07.000";
  out.str("");
  EXPECT_TRUE(followProducer(*viewer));
  EXPECT_NE(std::string::npos, out.str().find("LAST LINE : "));
}

TEST_F(AnalysisKeys, OtherCommandsAreNotTheirs) {
  EXPECT_FALSE(runAnalysisCommand(*viewer, 'r'));
  EXPECT_FALSE(runAnalysisCommand(*viewer, 'p'));
  EXPECT_FALSE(viewer->trendLineShown);
}

}  // namespace
}  // namespace tavelund
