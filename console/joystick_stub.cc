#include "console/joystick.h"

// Keyboard only until a controller back end is built.
namespace tavelund {

void openJoystick(InputContext& context) { context.joystickReady = false; }
void runJoystickPass(InputContext&) {}
void releaseJoystick(InputContext& context) { context.joystickReady = false; }

}  // namespace tavelund
