#include "console/analysis_view.h"

#include <algorithm>
#include <mutex>

#include "analysis/overlay.h"
#include "analysis/report.h"
#include "common/chart_lock.h"
#include "console/analysis_screen.h"
#include "console/commands.h"
#include "console/terminal.h"

namespace tavelund {
namespace {

void showAnalysis(Viewer& viewer) {
  std::vector<std::string> text;
  {
    std::lock_guard<std::mutex> lock(chartLock);
    const analysis::Report report =
        analysis::analyze(viewer.chart, viewer.settings.viewOffset(), viewer.settings.showColumns);
    // The newest signals that fit the window (the last line end takes a
    // line of its own); a line counts the rest.
    const auto height = static_cast<size_t>(std::max(consoleHeight.load(), 0));
    const size_t room = height > kAnalysisFrameLines + 1 ? height - kAnalysisFrameLines - 1 : 0;
    text = analysis::reportLinesWithin(report, room);
  }
  writeAnalysisScreen(*viewer.io.out, text, screenLineRoom(consoleWidth.load()),
                      viewer.live.bellOn);
}

}  // namespace

bool runAnalysisCommand(Viewer& viewer, char pending) {
  if (pending == command::kAnalysis) {
    viewer.live.chartShown = false;  // a screen of its own, as help and log
    viewer.analysisShown = true;
    showAnalysis(viewer);
    return true;
  }
  if (pending == command::kTrendLine) {
    viewer.trendLineShown = !viewer.trendLineShown;
    redrawChart(viewer, viewerTitle(viewer));
    return true;
  }
  return false;
}

void drawChartBody(Viewer& viewer) {
  if (!viewer.trendLineShown) {
    viewer.drawing.draw(*viewer.io.out, viewer.chart, viewer.settings);
    return;
  }
  viewer.drawing.draw(*viewer.io.out, viewer.chart, viewer.settings, analysis::overlayTrendLine);
}

}  // namespace tavelund
