#pragma once
// The send-flag hand-shake with the MT5 side, as the refresh and the CSV save
// use it: the console writes 0 into the send flag to ask for a batch, and the
// MT5 side writes 1 once a complete batch stands in the timeline. The wait
// for that 1 shows the milliseconds waited in a progress text that
// overwrites itself.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <ostream>
#include <string_view>

#include "link/link_calls.h"

namespace tavelund {

// The refresh's limits: the first batch, which the MT5 side publishes before
// the console starts, may take 10 s to be flagged; the answer to a later
// request 5 s.
inline constexpr std::chrono::milliseconds kFirstBatchWait{10000};
inline constexpr std::chrono::milliseconds kAnswerWait{5000};

// The limits of one wait for a batch.
struct BatchRequest {
  // Write 0 first. Without it the wait is only for the 1 of a batch the MT5
  // side publishes unasked (the refresh before its first records).
  bool ask = true;
  // How long the flag may stay below 1; then the wait gives up and the
  // timeline holds whatever it held.
  std::chrono::milliseconds answerWait = kAnswerWait;
  // The pause between two looks at the flag, and so between two progress
  // texts.
  std::chrono::milliseconds progressInterval{1};
  // Set by another thread to give the wait up (Q while the save waits):
  // looked at before each look at the flag and once more when the wait ends.
  const std::atomic<bool>* abandon = nullptr;
};

// When the progress text is shown.
enum class ProgressShown {
  // Before every look at the flag, the last one included: the last text is
  // the time the wait ended at (the refresh).
  BeforeEveryLook,
  // After every look that found no batch (the save).
  WhileWaiting,
};

// The progress text: `erase` backspaces, `label`, the milliseconds waited and
// " milSecond", flushed without a line end; when the wait ends without being
// abandoned, "\r\n    Done." and a line end.
struct BatchProgress {
  std::ostream* out = nullptr;  // none: no texts at all
  std::string_view label;
  std::size_t erase = 0;
  ProgressShown shown = ProgressShown::BeforeEveryLook;
};

enum class BatchAnswer {
  Published,  // the flag read 1
  NoAnswer,   // the answer wait ran out first
  Abandoned,  // `abandon` was set; the wait ended without its "Done."
};

// Asks for a batch (when `request.ask`) and waits for the flag to read 1.
BatchAnswer requestBatch(const LinkCalls& link, const BatchRequest& request,
                         const BatchProgress& progress);

}  // namespace tavelund
