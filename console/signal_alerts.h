#pragma once
// The live view's alerts: which signals of a batch the trader is told of,
// and the words of the run-log entries and the window title that tell it.
// No console and no chart here: the live view feeds in the signals of the
// chart after each batch it takes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/patterns.h"

namespace tavelund {

// The signals of one live session, from the switch on to the switch off. A
// signal is known by its column and kind: the forming bar read again with
// every batch brings no second alert, a signal that a batch takes back is
// not alerted, and one that comes back later is not alerted again.
class SignalAlerts {
 public:
  // The live view was switched on: the chart's signals as it stands are
  // old news, never alerted.
  void start(std::vector<analysis::Signal> current);
  // Switched off: nothing is alerted until the next start.
  void stop();
  bool started() const { return seen_.has_value(); }

  // A batch was taken and the chart holds `after`: the signals to alert,
  // those this session has not seen yet, oldest first. None when stopped.
  std::vector<analysis::Signal> take(const std::vector<analysis::Signal>& after);

 private:
  std::optional<std::vector<analysis::Signal>> seen_;  // every signal seen since the start
};

// "BUY Double Top Breakout 896.24000": side, kind and price with `digits`
// decimals.
std::string signalWords(const analysis::Signal& signal, int32_t digits);

// The run-log entry of an alerted signal: "SIGNAL      : " + its minute
// time + " " + signalWords.
std::string signalLogText(const analysis::Signal& signal, int32_t digits);

// A batch that completes more signals than this (a producer that starts
// over with other bars, say) logs the newest ones and a note of the rest.
inline constexpr size_t kMostSignalEntries = 20;
// "SIGNAL      : N older ones of this batch not logged".
std::string unloggedSignalsNote(size_t count);

// The window title while live, after an alert: `liveTitle` + " - " +
// signalWords, in at most kMostAlertTitleCells cells.
inline constexpr size_t kMostAlertTitleCells = 120;
std::string alertTitle(std::string_view liveTitle, const analysis::Signal& signal, int32_t digits);

}  // namespace tavelund
