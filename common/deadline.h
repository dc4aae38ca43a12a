#pragma once
// Periodic loops sleep until a deadline on the monotonic clock, so a loop's
// period does not drift with the time its work takes and wall-clock changes
// never stretch or shorten a wait.
#include <chrono>
#include <thread>

namespace tavelund {

using MonotonicClock = std::chrono::steady_clock;

inline void sleepUntil(MonotonicClock::time_point deadline) {
  std::this_thread::sleep_until(deadline);
}

// Sleep until `period` after now.
inline void sleepPeriod(std::chrono::milliseconds period) {
  sleepUntil(MonotonicClock::now() + period);
}

inline long long elapsedMilliseconds(MonotonicClock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(MonotonicClock::now() - since)
      .count();
}

}  // namespace tavelund
