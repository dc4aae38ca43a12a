#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "tools/stop_signal.h"

namespace tavelund {
namespace {

std::atomic<bool> stopFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

// Written once before the handlers are installed, read only by them.
char forcedEndMessage[160];
std::size_t forcedEndLength = 0;

extern "C" void onStopSignal(int) {
  stopFlag.store(true);
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

}  // namespace tavelund
