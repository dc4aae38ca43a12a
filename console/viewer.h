#pragma once
// The running viewer: the view thread that executes one pending command
// every 300 ms, the input thread that turns keys into commands every 70 ms,
// and the size watch on the main thread.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

#include "common/chart_settings.h"
#include "console/commands.h"
#include "console/joystick.h"
#include "console/keys.h"
#include "console/live_view.h"
#include "console/screens.h"
#include "engine/chart_layout.h"
#include "engine/csv_save.h"
#include "engine/pf_chart.h"
#include "intake/tick_intake.h"

namespace tavelund {

// Read once from the link library at start.
struct LinkInfo {
  std::string symbol;
  std::string timeSpanLabel;
};

// What the viewer needs from the console and the process.
struct ViewerIo {
  std::ostream* out = nullptr;  // chart, screens, progress
  std::ostream* err = nullptr;  // save failures
  std::function<void()> resetScreen;
  std::function<KeySet()> readKeys;
  std::function<bool(int32_t& width, int32_t& height)> readWindowSize;
  std::function<void(int exitCode)> endProcess;
  // Gives the console back before a message that ends the run, so that the
  // message stays readable after the end (the alternate screen of an ANSI
  // terminal would take it along).
  std::function<void()> leaveScreen;
  std::function<void(const char* title)> setTitle;  // the window's title
  std::function<void()> ringBell;                   // the terminal's bell
  // The size watch's pause; when empty, a plain sleep of the watch period.
  std::function<void(std::chrono::milliseconds period)> waitForScreenEvent;
  std::function<void()> wakeScreenWatch;  // called when Q ends the run
  std::filesystem::path programFolder;    // the CSV folder goes inside it
};

struct ViewerPeriods {
  std::chrono::milliseconds view{300};
  std::chrono::milliseconds input{70};
  std::chrono::milliseconds sizeWatch{2};
};

// One per process. The option fields of `settings` and all of `linkInfo`
// are written before the view thread starts and only read afterwards.
struct Viewer {
  ChartSettings settings;
  LinkInfo linkInfo;
  PfChart chart;
  ChartDrawing drawing;  // the text drawing and the markers it keeps
  TickIntake intake;
  LinkCalls link;
  ViewerIo io;
  ViewerPeriods periods;
  LiveView live;

  Viewer() = default;
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;

  std::atomic<char> commandCell{command::kRefresh};
  std::atomic<bool> exitRequested{false};
  std::atomic<bool> stopView{false};
  std::mutex screenLock;  // keeps the header line and the size watch's re-layout apart

  // The T key's trend line over the chart; the view thread's only.
  bool trendLineShown = false;
  // The screen shows the P key's analysis; the view thread's only.
  bool analysisShown = false;
};

// The view thread: until stopView, run the pending command, then sleep
// until one period after the pass began.
void runViewLoop(Viewer& viewer);

// One pass of the view thread, without its sleep: the pending command (the
// console cleared first, commandCell = 'n' after), or, with none pending,
// the live view's redraw when one is due.
void runViewPass(Viewer& viewer);

// Runs the command in commandCell (on the view thread only).
void executeCommand(Viewer& viewer);

// Header, last line, chart; then commandCell = 'n'.
void redrawChart(Viewer& viewer, const ChartTitle& title);
// The same without touching commandCell: a redraw that is no command of its
// own (the live view's) must not drop a key pressed meanwhile.
void drawChart(Viewer& viewer, const ChartTitle& title);
void printHeader(Viewer& viewer, const ChartTitle& title);
void printLastLine(Viewer& viewer, int32_t digits);

// The main thread's watch: starts the input thread, re-lays out the screen
// when the window size changes, and once Q was pressed stops the view
// thread, waits for the input thread and releases the controller.
void runSizeWatch(Viewer& viewer);

// After the size watch has ended: waits until the view thread has ended
// (true), or gives up (false) once a link call has run for `stuckLimit` —
// a peer keeps a channel's mutex and the view thread will never end. A
// command in progress may take a while (a refresh waits up to 10 s), but
// none of its link calls does: each is one block copy.
bool waitForViewEnd(const std::atomic<bool>& viewEnded,
                    const std::function<std::chrono::milliseconds()>& linkCallDuration,
                    std::chrono::milliseconds stuckLimit = std::chrono::seconds(2));

// The input thread.
void runInputLoop(Viewer& viewer, InputContext& context);

// The symbol and the time-frame label of linkInfo.
ChartTitle viewerTitle(const Viewer& viewer);

}  // namespace tavelund
