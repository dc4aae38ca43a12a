#include "console/joystick_lost.h"

#include <iostream>

#include "console/process_end.h"

namespace tavelund {

void printJoystickMessage(const char* text) { std::cout << text << std::endl; }

void endRunOnLostJoystick(std::atomic<char>& commandCell, int32_t errorCode) {
  std::cout << kJoystickReacquireFailedText << errorCode << std::endl;
  commandCell.exchange('q');
  std::cout << kJoystickExitText << std::endl;
  endProcess(1);
}

}  // namespace tavelund
