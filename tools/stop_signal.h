#pragma once
// Ctrl-C and termination requests turn into a flag that a tool's main loop
// polls, so it can end cleanly (and release the channels) instead of dying.
// A tool stuck in a wait that it cannot leave (a channel's lock that its
// holder never lets go) still ends: kStopGrace after the request it prints
// why and exits with 1, and the channels it held count as left over.
#include <chrono>

#include "common/deadline.h"

namespace tavelund {

inline constexpr std::chrono::seconds kStopGrace{3};

// `programName` starts the message of a forced end.
void installStopHandler(const char* programName);
bool stopRequested();

// While one of these lives, a stop request ends the process at once as a
// clean stop: "<programName>: stopped" on standard output and exit code 0
// (at its start too, when the request came before). For a stretch that
// holds nothing to release and may block where the flag is never looked
// at, such as opening a FIFO that no writer has opened yet.
class StopEndsAtOnce {
 public:
  StopEndsAtOnce();
  ~StopEndsAtOnce();
  StopEndsAtOnce(const StopEndsAtOnce&) = delete;
  StopEndsAtOnce& operator=(const StopEndsAtOnce&) = delete;
};

// Sleeps until `deadline`, or less once a stop is requested.
inline void sleepUntilOrStop(MonotonicClock::time_point deadline) {
  constexpr auto kSlice = std::chrono::milliseconds(20);
  while (!stopRequested()) {
    const auto now = MonotonicClock::now();
    if (now >= deadline) return;
    sleepUntil(deadline - now > kSlice ? now + kSlice : deadline);
  }
}

}  // namespace tavelund
