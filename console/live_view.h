#pragma once
// The live view (key A; off at start, and with it off the viewer behaves as
// it always has). While it is on and the chart shows its newest state,
// every new send time in the channel — the producer published unasked —
// makes the view thread convert what the timeline holds and redraw, as a
// refresh does after its answer, but without asking: it never writes the
// send flag, so a live viewer never makes the producer publish. At most one
// such redraw per view pass.
//
// While it is on, every batch taken (the live view's own, or U's) is
// checked for signals the chart did not hold before: each is noted in the
// run log, the newest ends the window title, and the bell rings once for
// the batch unless B has muted it.
#include <optional>
#include <string>

#include "console/signal_alerts.h"

namespace tavelund {

struct Viewer;

// Touched by the view thread only.
struct LiveView {
  bool on = false;
  bool chartShown = false;  // the screen shows the chart, not help, log or save
  // The send time read just before the last conversion made while on.
  std::optional<std::string> convertedSendTime;
  // Started with the live view: the signals alerted so far.
  SignalAlerts alerts;
  // B: whether an alert rings the bell. Kept while the live view is off.
  bool bellOn = true;
};

// The window title while the live view is on.
inline constexpr const char* kLiveWindowTitle = "TavelundP&F FREE (LIVE)";

// The 'a' command: switches the live view on or off and notes it in the run
// log and the window title. Switched on while the newest state is shown, it
// converts at once; otherwise the chart is redrawn as it is. The chart as it
// stood when the key was pressed is what later alerts compare with, so the
// first conversion alerts what was published since.
void toggleLiveView(Viewer& viewer);

// After a batch was taken: while live, alerts the signals that are new
// (run log, title, bell). Nothing with the live view off.
void alertNewSignals(Viewer& viewer);

// The 'b' command: mutes or unmutes the alerts' bell and notes it in the
// run log. It draws nothing itself.
void toggleAlertBell(Viewer& viewer);

// The live view's part of a view pass that had no command: converts and
// redraws when the view is on, shows the chart at offset 0 and the send
// time has changed since the last conversion. True when it redrew.
bool followProducer(Viewer& viewer);

}  // namespace tavelund
