#include "console/live_view.h"

#include "common/run_log.h"
#include "console/screens.h"
#include "console/viewer.h"
#include "engine/chart_refresh.h"

namespace tavelund {
namespace {

std::string currentSendTime(const Viewer& viewer) {
  const char* sendTime = viewer.link.getSendTime();
  return sendTime ? std::string(sendTime) : std::string();
}

bool showsNewestChart(const Viewer& viewer) {
  return viewer.live.chartShown && viewer.settings.viewOffset() == 0;
}

// The conversion and redraw of a refresh, on what the timeline holds now.
// The send time is read first: the producer writes it after the lines, so
// the lines read next are at least that batch.
void convertNow(Viewer& viewer) {
  const std::string sendTime = currentSendTime(viewer);
  followTimeline(ChartRoad{viewer.intake, viewer.chart, viewer.settings}, viewer.link.readLines,
                 ConsolePort{viewer.io.out, viewer.io.resetScreen});
  viewer.live.convertedSendTime = sendTime;
  drawChart(viewer, viewerTitle(viewer));
}

}  // namespace

void toggleLiveView(Viewer& viewer) {
  LiveView& live = viewer.live;
  live.on = !live.on;
  live.convertedSendTime.reset();
  appendLog(live.on ? "LIVE VIEW   : ON" : "LIVE VIEW   : OFF");
  if (viewer.io.setTitle) viewer.io.setTitle(live.on ? kLiveWindowTitle : kWindowTitle);
  if (live.on && viewer.settings.viewOffset() == 0) {
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
