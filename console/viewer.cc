#include "console/viewer.h"

#include <thread>
#include <utility>

#include "common/deadline.h"
#include "common/run_log.h"
#include "console/analysis_view.h"
#include "console/moves.h"
#include "console/screens.h"
#include "console/terminal.h"
#include "common/chart_lock.h"
#include "engine/chart_refresh.h"
#include "engine/last_line.h"

namespace tavelund {
namespace {

void runSave(Viewer& viewer) {
  std::ostream& out = *viewer.io.out;
  writeSaveScreenTop(out);
  CsvSaveOptions options;
  options.programFolder = viewer.io.programFolder;
  options.out = viewer.io.out;
  options.err = viewer.io.err;
  options.beforeFatalMessage = viewer.io.leaveScreen;
  options.screenColumns = screenLineRoom(consoleWidth.load());
  // Q gives the save up: the run ends at once and leaves no file behind.
  options.runEnding = &viewer.exitRequested;
  // The save runs on a thread of its own, which the view thread waits for.
  std::thread save([&] {
    if (saveCsv(viewer.link, options) == CsvSaveOutcome::FolderFailed) viewer.io.endProcess(1);
  });
  save.join();
  writeSaveScreenBottom(out);
}

void refresh(Viewer& viewer) {
  refreshChart(ChartRoad{viewer.intake, viewer.chart, viewer.settings}, viewer.link,
               ConsolePort{viewer.io.out, viewer.io.resetScreen});
  redrawChart(viewer, viewerTitle(viewer));
  // While live, the batch that U asked for is one of the live session's.
  alertNewSignals(viewer);
}

}  // namespace

ChartTitle viewerTitle(const Viewer& viewer) {
  return ChartTitle{viewer.linkInfo.symbol, viewer.linkInfo.timeSpanLabel};
}

void printHeader(Viewer& viewer, const ChartTitle& title) {
  // The send time is read before the lock: the read waits for the channel's
  // mutex, and a peer that keeps it must not stall the size watch, which
  // takes screenLock too.
  const char* sendTime = viewer.link.getSendTime();
  const std::string line =
      headerLine(sendTime ? sendTime : "", title, screenLineRoom(consoleWidth.load()));
  std::lock_guard<std::mutex> lock(viewer.screenLock);
  *viewer.io.out << line << std::endl;
}

void printLastLine(Viewer& viewer, int32_t digits) {
  std::lock_guard<std::mutex> lock(chartLock);
  writeLastLine(*viewer.io.out, viewer.chart, viewer.settings.viewOffset(), digits,
                screenLineRoom(consoleWidth.load()));
}

void drawChart(Viewer& viewer, const ChartTitle& title) {
  viewer.live.chartShown = true;
  printHeader(viewer, title);
  printLastLine(viewer, viewer.settings.digits);
  drawChartBody(viewer);
}

void redrawChart(Viewer& viewer, const ChartTitle& title) {
  drawChart(viewer, title);
  viewer.commandCell.exchange(command::kNone);
}

void executeCommand(Viewer& viewer) {
  const char pending = viewer.commandCell.load();
  // Every command but P draws another screen over the analysis.
  const bool analysisWasShown = std::exchange(viewer.analysisShown, false);
  if (runAnalysisCommand(viewer, pending)) return;
  switch (pending) {
    case command::kRefresh:
    case command::kControllerRefresh:
      refresh(viewer);
      return;
    case command::kLog:
      viewer.live.chartShown = false;
      writeLogScreen(*viewer.io.out, runLog(), screenLineRoom(consoleWidth.load()));
      return;
    case command::kHelp:
      viewer.live.chartShown = false;
      writeKeyboardHelp(*viewer.io.out);
      return;
    case command::kControllerHelp:
      viewer.live.chartShown = false;
      writeJoystickHelp(*viewer.io.out);
      return;
    case command::kSave:
      viewer.live.chartShown = false;
      runSave(viewer);
      return;
    case command::kLiveToggle:
      toggleLiveView(viewer);
      return;
    case command::kBellToggle:
      // The state shows on the analysis screen: shown, it is drawn again.
      toggleAlertBell(viewer);
      if (analysisWasShown) {
        runAnalysisCommand(viewer, command::kAnalysis);
      } else {
        redrawChart(viewer, viewerTitle(viewer));
      }
      return;
    default:
      break;
  }
  ChartSettings& settings = viewer.settings;
  if (const auto moved = moveOffset(pending, settings.scrollOffset(), settings.viewOffsetLimit(),
                                    settings.scrollBack))
    settings.moveView(*moved);
  redrawChart(viewer, viewerTitle(viewer));
}

void runViewPass(Viewer& viewer) {
  const char pending = viewer.commandCell.load();
  if (pending != command::kNone && pending != command::kControllerNeutral) {
    viewer.io.resetScreen();
    executeCommand(viewer);
    viewer.commandCell.exchange(command::kNone);
    return;
  }
  followProducer(viewer);
}

void runViewLoop(Viewer& viewer) {
  while (!viewer.stopView.load()) {
    runViewPass(viewer);
    // The period counts from the end of the command, so a held key repeats
    // one full period after a slow command too.
    sleepUntil(MonotonicClock::now() + viewer.periods.view);
  }
}

bool waitForViewEnd(const std::atomic<bool>& viewEnded,
                    const std::function<std::chrono::milliseconds()>& linkCallDuration,
                    std::chrono::milliseconds stuckLimit) {
  while (!viewEnded.load()) {
    if (linkCallDuration() >= stuckLimit) return false;
    sleepUntil(MonotonicClock::now() + std::chrono::milliseconds(10));
  }
  return true;
}

void runInputLoop(Viewer& viewer, InputContext& context) {
  openJoystick(context);
  KeySet downBefore;
  for (;;) {
    const KeySet down = viewer.io.readKeys();
    if (down.test(vk::kQ)) {
      viewer.exitRequested.exchange(true);
      if (viewer.io.wakeScreenWatch) viewer.io.wakeScreenWatch();
    }
    if (context.joystickReady) {
      runJoystickPass(context);
    } else {
      for (const KeyCommand& entry : keyboardCommands()) {
        if (storesCommand(entry, down, downBefore)) context.commandCell->exchange(entry.command);
      }
    }
    downBefore = down;
    sleepUntil(MonotonicClock::now() + viewer.periods.input);
    if (viewer.exitRequested.load()) return;
  }
}

void runSizeWatch(Viewer& viewer) {
  InputContext context;
  context.commandCell = &viewer.commandCell;
  std::thread input([&] { runInputLoop(viewer, context); });
  while (!viewer.exitRequested.load()) {
    int32_t width = 0;
    int32_t height = 0;
    if (viewer.io.readWindowSize(width, height) &&
        (width != consoleWidth.load() || height != consoleHeight.load())) {
      consoleWidth.store(width);
      consoleHeight.store(height);
      {
        std::lock_guard<std::mutex> lock(viewer.screenLock);
        viewer.io.resetScreen();
      }
      viewer.commandCell.exchange(command::kRedraw);
    }
    if (viewer.io.waitForScreenEvent) {
      viewer.io.waitForScreenEvent(viewer.periods.sizeWatch);
    } else {
      sleepUntil(MonotonicClock::now() + viewer.periods.sizeWatch);
    }
  }
  viewer.stopView.exchange(true);
  input.join();
  if (context.joystickReady) releaseJoystick(context);
}

}  // namespace tavelund
