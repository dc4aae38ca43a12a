#include <atomic>
#include <cstdio>
#include <string>
#include <windows.h>

#include "tools/stop_signal.h"

namespace tavelund {
namespace {

std::atomic<bool> stopFlag{false};
std::string forcedEndMessage;

BOOL WINAPI onConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      stopFlag.store(true);
      // The handler runs on a thread of its own; a clean end of the main
      // thread ends the process, and this thread with it, before the grace
      // is over.
      Sleep(static_cast<DWORD>(kStopGrace.count() * 1000));
      std::fputs(forcedEndMessage.c_str(), stderr);
      std::fflush(stderr);
      ExitProcess(1);
    case CTRL_CLOSE_EVENT:
      stopFlag.store(true);
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
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested() { return stopFlag.load(); }

}  // namespace tavelund
