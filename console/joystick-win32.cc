// The controller through DirectInput 8.
#include "console/joystick-win32.h"

#include <cstring>

#include "console/joystick_lost.h"
#include "console/joystick_map.h"

namespace tavelund {

static_assert(static_cast<HRESULT>(DIERR_UNPLUGGED) == kJoystickUnpluggedCode);
static_assert(sizeof(DIJOYSTATE2) == 272);

class JoystickDevice {
 public:
  IDirectInput8W* input = nullptr;
  IDirectInputDevice8W* device = nullptr;
};

void openJoystick(InputContext& context) {
  context.joystickReady = false;
  context.device = nullptr;
  IDirectInput8W* input = nullptr;
  if (FAILED(DirectInput8Create(GetModuleHandleW(nullptr), 0x0800, IID_IDirectInput8W,
                                reinterpret_cast<void**>(&input), nullptr))) {
    return;
  }
  openJoystickWith(context, input);
}

void openJoystickWith(InputContext& context, IDirectInput8W* input) {
  context.joystickReady = false;
  context.device = nullptr;
  // No controller attached: the keyboard serves, without a word.
  IDirectInputDevice8W* device = nullptr;
  if (FAILED(input->CreateDevice(GUID_Joystick, &device, nullptr))) {
    input->Release();
    return;
  }
  const char* failure = nullptr;
  if (FAILED(device->SetDataFormat(&c_dfDIJoystick2))) {
    failure = kJoystickFormatFailedText;
  } else if (FAILED(device->SetCooperativeLevel(nullptr, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE))) {
    // No window: the viewer reads the controller whichever window has the focus.
    failure = kJoystickCooperativeFailedText;
  } else if (FAILED(device->Acquire())) {
    failure = kJoystickAcquireFailedText;
  }
  if (failure != nullptr) {
    printJoystickMessage(failure);
    device->Release();
    input->Release();
    return;
  }
  context.device = new JoystickDevice{input, device};
  context.joystickReady = true;
}

void runJoystickPass(InputContext& context) {
  if (!context.joystickReady || context.device == nullptr) return;
  IDirectInputDevice8W* device = context.device->device;
  // Polled devices only report fresh values after Poll; for the usual
  // interrupt-driven ones it does nothing. Its failures show up in the read.
  device->Poll();
  DIJOYSTATE2 raw;
  std::memset(&raw, 0, sizeof raw);
  if (FAILED(device->GetDeviceState(sizeof raw, &raw))) {
    const HRESULT acquired = device->Acquire();
    if (FAILED(acquired)) {
      endRunOnLostJoystick(*context.commandCell, static_cast<int32_t>(acquired));
    }
    return;  // taken back: read again next pass
  }
  JoystickState state;
  state.x = static_cast<int32_t>(raw.lX);
  state.y = static_cast<int32_t>(raw.lY);
  static_assert(sizeof raw.rgbButtons == kJoystickButtonCount);
  std::memcpy(state.buttons.data(), raw.rgbButtons, kJoystickButtonCount);
  storeJoystickCommand(*context.commandCell, state);
}

void releaseJoystick(InputContext& context) {
  if (!context.joystickReady) return;
  context.joystickReady = false;
  if (context.device != nullptr) {
    context.device->device->Unacquire();
    context.device->device->Release();
    context.device->input->Release();
    delete context.device;
    context.device = nullptr;
  }
}

}  // namespace tavelund
