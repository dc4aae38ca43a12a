#include "console/joystick_lost.h"

#include <iostream>

#include "console/commands.h"
#include "console/process_end.h"
#include "console/terminal.h"

namespace tavelund {

void printJoystickMessage(const char* text) { std::cout << text << std::endl; }

void endRunOnLostJoystick(std::atomic<char>& commandCell, int32_t errorCode) {
  // The terminal goes back first: where the chart has a screen of its own
  // (the alternate screen of an ANSI terminal), text written there before
  // the restore would vanish with it, and the user would never learn why
  // the viewer ended. The exit hook's own restore then finds nothing to do.
  restoreConsole();
  std::cout << kJoystickReacquireFailedText << errorCode << std::endl;
  commandCell.exchange(command::kQuit);
  std::cout << kJoystickExitText << std::endl;
  endProcess(1);
}

}  // namespace tavelund
