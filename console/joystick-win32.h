#pragma once
// The DirectInput side of the controller, apart from the creation of the
// DirectInput object, so that tests can hand in an object of their own.
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <windows.h>
#include <dinput.h>

#include "console/joystick.h"

namespace tavelund {

// Steps 2 to 6 of the open: the system joystick's device, its data format,
// background non-exclusive access and the first acquire. Takes over the one
// reference held on `input`; releases it unless the open succeeds.
void openJoystickWith(InputContext& context, IDirectInput8W* input);

}  // namespace tavelund
