#pragma once
// The live view (key A; off at start, and with it off the viewer behaves as
// it always has). While it is on and the chart shows its newest state,
// every new send time in the channel — the producer published unasked —
// makes the view thread convert what the timeline holds and redraw, as a
// refresh does after its answer, but without asking: it never writes the
// send flag, so a live viewer never makes the producer publish. At most one
// such redraw per view pass.
#include <optional>
#include <string>

namespace tavelund {

struct Viewer;

// Touched by the view thread only.
struct LiveView {
  bool on = false;
  bool chartShown = false;  // the screen shows the chart, not help, log or save
  // The send time read just before the last conversion made while on.
  std::optional<std::string> convertedSendTime;
};

// The window title while the live view is on.
inline constexpr const char* kLiveWindowTitle = "TavelundP&F FREE (LIVE)";

// The 'a' command: switches the live view on or off and notes it in the run
// log and the window title. Switched on while the newest state is shown, it
// converts at once; otherwise the chart is redrawn as it is.
void toggleLiveView(Viewer& viewer);

// The live view's part of a view pass that had no command: converts and
// redraws when the view is on, shows the chart at offset 0 and the send
// time has changed since the last conversion. True when it redrew.
bool followProducer(Viewer& viewer);

}  // namespace tavelund
