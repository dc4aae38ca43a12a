#include "console/live_view.h"

#include <mutex>
#include <vector>

#include "analysis/chart_history.h"
#include "analysis/patterns.h"
#include "common/chart_lock.h"
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

// Every signal of the chart's newest state, oldest first.
std::vector<analysis::Signal> chartSignals(const Viewer& viewer) {
  std::lock_guard<std::mutex> lock(chartLock);
  return analysis::findSignals(
      analysis::historyAt(viewer.chart, 0, true, viewer.settings.showColumns));
}

}  // namespace

void toggleLiveView(Viewer& viewer) {
  LiveView& live = viewer.live;
  live.on = !live.on;
  live.convertedSendTime.reset();
  appendLog(live.on ? "LIVE VIEW   : ON" : "LIVE VIEW   : OFF");
  if (viewer.io.setTitle) viewer.io.setTitle(live.on ? kLiveWindowTitle : kWindowTitle);
  if (live.on) {
    live.alerts.start(chartSignals(viewer));
  } else {
    live.alerts.stop();
  }
  if (live.on && viewer.settings.viewOffset() == 0) {
    convertNow(viewer);
    alertNewSignals(viewer);
  } else {
    redrawChart(viewer, viewerTitle(viewer));
  }
}

bool followProducer(Viewer& viewer) {
  if (!viewer.live.on || !showsNewestChart(viewer)) return false;
  if (viewer.live.convertedSendTime == currentSendTime(viewer)) return false;
  viewer.io.resetScreen();
  convertNow(viewer);
  alertNewSignals(viewer);
  return true;
}

void alertNewSignals(Viewer& viewer) {
  if (!viewer.live.on) return;
  const std::vector<analysis::Signal> fresh = viewer.live.alerts.take(chartSignals(viewer));
  if (fresh.empty()) return;
  const int32_t digits = viewer.settings.digits;
  size_t first = 0;
  if (fresh.size() > kMostSignalEntries) {
    first = fresh.size() - (kMostSignalEntries - 1);
    appendLog(unloggedSignalsNote(first));
  }
  for (size_t i = first; i < fresh.size(); ++i) appendLog(signalLogText(fresh[i], digits));
  if (viewer.io.setTitle)
    viewer.io.setTitle(alertTitle(kLiveWindowTitle, fresh.back(), digits).c_str());
  // Once for the batch, however many signals it completed.
  if (viewer.live.bellOn && viewer.io.ringBell) viewer.io.ringBell();
}

void toggleAlertBell(Viewer& viewer) {
  viewer.live.bellOn = !viewer.live.bellOn;
  appendLog(viewer.live.bellOn ? "ALERT BELL  : ON" : "ALERT BELL  : OFF");
}

}  // namespace tavelund
