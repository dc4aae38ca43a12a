#include <atomic>
#include <cstdio>
#include <string>
#include <windows.h>

#include "tools/stop_signal.h"

namespace tavelund {
namespace {

std::atomic<bool> stopFlag{false};
std::atomic<bool> endAtOnce{false};  // set while a StopEndsAtOnce lives
std::atomic<bool> ending{false};
std::string forcedEndMessage;
std::string stoppedMessage;

// The main thread may be inside the C runtime's file calls, holding their
// locks: the message goes out through the system and the process ends at
// once, without the runtime's clean-up.
void endNow() {
  if (!ending.exchange(true)) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), stoppedMessage.data(),
              static_cast<DWORD>(stoppedMessage.size()), &written, nullptr);
  }
  TerminateProcess(GetCurrentProcess(), 0);
}

BOOL WINAPI onConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      stopFlag.store(true);
      if (endAtOnce.load()) endNow();
      // The handler runs on a thread of its own; a clean end of the main
      // thread ends the process, and this thread with it, before the grace
      // is over.
      Sleep(static_cast<DWORD>(kStopGrace.count() * 1000));
      std::fputs(forcedEndMessage.c_str(), stderr);
      std::fflush(stderr);
      ExitProcess(1);
    case CTRL_CLOSE_EVENT:
      stopFlag.store(true);
      if (endAtOnce.load()) endNow();
      // Closing the window ends the process once the handler returns; give
      // the main loop a moment to deinit first.
      Sleep(500);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void installStopHandler(const char* programName) {
  forcedEndMessage = std::string(programName) +
                     ": still waiting for a channel after the stop request; ending without "
                     "releasing it\n";
  stoppedMessage = std::string(programName) + ": stopped\n";
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested() { return stopFlag.load(); }

StopEndsAtOnce::StopEndsAtOnce() {
  endAtOnce.store(true);
  if (stopFlag.load()) endNow();
}

StopEndsAtOnce::~StopEndsAtOnce() { endAtOnce.store(false); }

}  // namespace tavelund
