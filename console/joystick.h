#pragma once
// The game controller half of the input thread. A controller, when one can
// be opened, replaces the keyboard for every command but Q.
#include <atomic>

namespace tavelund {

class JoystickDevice;  // the platform's device (DirectInput 8 / SDL2)

struct InputContext {
  std::atomic<char>* commandCell = nullptr;  // where the input thread stores commands
  bool joystickReady = false;                // true once openJoystick succeeded
  JoystickDevice* device = nullptr;          // valid only while joystickReady
};

// Called once by the input thread before its first pass. Leaves
// joystickReady false (silently when there is no controller) or true.
void openJoystick(InputContext& context);

// One pass: reads the device and stores the command character. A device
// that can neither be read nor acquired again ends the process with 1.
void runJoystickPass(InputContext& context);

// Called by the main thread after the input thread ended.
void releaseJoystick(InputContext& context);

}  // namespace tavelund
