#include "console/live_view.h"

#include <mutex>
#include <string_view>

#include "common/chart_lock.h"
#include "common/run_log.h"
#include "console/screens.h"
#include "console/viewer.h"
#include "intake/time_order.h"

namespace tavelund {
namespace {

std::string currentSendTime(const Viewer& viewer) {
  const char* sendTime = viewer.link.getSendTime();
  return sendTime ? std::string(sendTime) : std::string();
}

bool showsNewestChart(const Viewer& viewer) {
  return viewer.live.chartShown && viewer.settings.viewOffset == 0;
}

// The conversion and redraw of a refresh, on what the timeline holds now.
// The send time is read first: the producer writes it after the lines, so
// the lines read next are at least that batch.
void convertNow(Viewer& viewer) {
  const std::string sendTime = currentSendTime(viewer);
  {
    std::lock_guard<std::mutex> lock(chartLock);
    const char* lines = viewer.link.readLines ? viewer.link.readLines() : nullptr;
    const ConsolePort console{viewer.io.out, viewer.io.resetScreen};
    convertTimeline(viewer.intake, lines ? std::string_view(lines) : std::string_view(),
                    viewer.settings.dataExpand, console);
    if (const auto entry = batchTimeOrderEntry(viewer.intake)) appendLog(*entry);
    if (console.clearScreen) console.clearScreen();
  }
  viewer.live.convertedSendTime = sendTime;
  viewer.chart.applySettings(viewer.settings, viewer.settings.digits);
  viewer.chart.update(viewer.intake.batchPointList, viewer.settings);
  drawChart(viewer, viewerTitle(viewer));
}

}  // namespace

void toggleLiveView(Viewer& viewer) {
  LiveView& live = viewer.live;
  live.on = !live.on;
  live.convertedSendTime.reset();
  appendLog(live.on ? "LIVE VIEW   : ON" : "LIVE VIEW   : OFF");
  if (viewer.io.setTitle) viewer.io.setTitle(live.on ? kLiveWindowTitle : kWindowTitle);
  if (live.on && viewer.settings.viewOffset == 0) {
    convertNow(viewer);
  } else {
    redrawChart(viewer, viewerTitle(viewer));
  }
}

bool followProducer(Viewer& viewer) {
  if (!viewer.live.on || !showsNewestChart(viewer)) return false;
  if (viewer.live.convertedSendTime == currentSendTime(viewer)) return false;
  viewer.io.resetScreen();
  convertNow(viewer);
  return true;
}

}  // namespace tavelund
