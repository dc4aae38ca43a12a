#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "tools/stop_signal.h"

namespace tavelund {
namespace {

std::atomic<bool> stopFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

std::atomic<bool> endAtOnce{false};  // set while a StopEndsAtOnce lives
std::atomic<bool> ending{false};     // the stopped line is written once

// Written once before the handlers are installed, read only by them.
char forcedEndMessage[160];
std::size_t forcedEndLength = 0;
char stoppedMessage[80];
std::size_t stoppedLength = 0;

// Only async-signal-safe calls: it may run in the handler.
void endNow() {
  if (!ending.exchange(true)) {
    [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, stoppedMessage, stoppedLength);
  }
  _exit(0);
}

extern "C" void onStopSignal(int) {
  stopFlag.store(true);
  // The flag is stored before this is read, and the scope's start reads the
  // flag after setting this: one of the two always ends the process.
  if (endAtOnce.load()) endNow();
  // A later request does not push the forced end further away.
  const unsigned left = alarm(0);
  alarm(left != 0 ? left : static_cast<unsigned>(kStopGrace.count()));
}

extern "C" void onGraceOver(int) {
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, forcedEndMessage, forcedEndLength);
  _exit(1);
}

}  // namespace

void installStopHandler(const char* programName) {
  const char* const tail =
      ": still waiting for a channel after the stop request; ending without releasing it\n";
  forcedEndMessage[0] = 0;
  std::strncat(forcedEndMessage, programName, 64);
  std::strncat(forcedEndMessage, tail, sizeof forcedEndMessage - std::strlen(forcedEndMessage) - 1);
  forcedEndLength = std::strlen(forcedEndMessage);
  stoppedMessage[0] = 0;
  std::strncat(stoppedMessage, programName, 64);
  std::strncat(stoppedMessage, ": stopped\n",
               sizeof stoppedMessage - std::strlen(stoppedMessage) - 1);
  stoppedLength = std::strlen(stoppedMessage);

  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = onGraceOver;
  sigaction(SIGALRM, &action, nullptr);
  action.sa_handler = onStopSignal;
  sigaddset(&action.sa_mask, SIGALRM);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

bool stopRequested() { return stopFlag.load(); }

StopEndsAtOnce::StopEndsAtOnce() {
  endAtOnce.store(true);
  if (stopFlag.load()) endNow();
}

StopEndsAtOnce::~StopEndsAtOnce() { endAtOnce.store(false); }

}  // namespace tavelund
