#include <atomic>
#include <windows.h>

#include "tools/stop_signal.h"

namespace tavelund {
namespace {

std::atomic<bool> stopFlag{false};

BOOL WINAPI onConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      stopFlag.store(true);
      // Closing the window ends the process once the handler returns; give
      // the main loop a moment to deinit first.
      if (event == CTRL_CLOSE_EVENT) Sleep(500);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void installStopHandler() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

bool stopRequested() { return stopFlag.load(); }

}  // namespace tavelund
