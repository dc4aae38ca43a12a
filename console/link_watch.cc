#include "console/link_watch.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "common/deadline.h"

namespace tavelund {
namespace {

LinkCalls real;  // written once by watchedLinkCalls, before any thread uses it
std::atomic<int64_t> callStartedAt{0};  // monotonic nanoseconds; 0 while no call runs

int64_t now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             MonotonicClock::now().time_since_epoch())
      .count();
}

class CallMark {
 public:
  CallMark() { callStartedAt.store(std::max<int64_t>(now(), 1)); }
  ~CallMark() { callStartedAt.store(0); }
  CallMark(const CallMark&) = delete;
  CallMark& operator=(const CallMark&) = delete;
};

const char* getSendTime() {
  const CallMark mark;
  return real.getSendTime();
}
const char* getSymbol() {
  const CallMark mark;
  return real.getSymbol();
}
int getSendCheck() {
  const CallMark mark;
  return real.getSendCheck();
}
int setSendCheck(int* value) {
  const CallMark mark;
  return real.setSendCheck(value);
}
const char* readLines() {
  const CallMark mark;
  return real.readLines();
}

}  // namespace

LinkCalls watchedLinkCalls(const LinkCalls& calls) {
  real = calls;
  return LinkCalls{getSendTime, getSymbol, getSendCheck, setSendCheck, readLines};
}

std::chrono::milliseconds linkCallDuration() {
  const int64_t started = callStartedAt.load();
  if (started == 0) return std::chrono::milliseconds(0);
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::nanoseconds(now() - started));
}

}  // namespace tavelund
