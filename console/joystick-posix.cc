// The controller through SDL2's joystick subsystem. SDL's raw joystick API
// (not its game-controller layer) is used on purpose: like DirectInput it
// reports the buttons in the device's own order, so button 1 is the same
// physical button on both targets.
#include <SDL.h>

#include <algorithm>

#include "console/joystick.h"
#include "console/joystick_lost.h"
#include "console/joystick_map.h"

namespace tavelund {

class JoystickDevice {
 public:
  SDL_Joystick* joystick = nullptr;
};

namespace {

void quitJoystickSubsystem() { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }

// SDL keeps an error text per thread, freed only for threads SDL started
// itself; the input and main threads are not SDL's, so each use drops it.
struct ThreadDataDrop {
  ~ThreadDataDrop() { SDL_TLSCleanup(); }
};

// SDL's axes run -32768..32767 with left and up negative; shifting them by
// 32768 gives the 0..65535 range the thresholds are set for, orientation kept.
int32_t readAxis(SDL_Joystick* joystick, int axis) {
  if (axis >= SDL_JoystickNumAxes(joystick)) return kAxisCentre;
  return static_cast<int32_t>(SDL_JoystickGetAxis(joystick, axis)) + 32768;
}

JoystickState readState(SDL_Joystick* joystick) {
  JoystickState state;
  state.x = readAxis(joystick, 0);
  state.y = readAxis(joystick, 1);
  const int count =
      std::min<int>(SDL_JoystickNumButtons(joystick), static_cast<int>(kJoystickButtonCount));
  for (int i = 0; i < count; ++i) {
    state.buttons[static_cast<std::size_t>(i)] = SDL_JoystickGetButton(joystick, i) ? 0x80 : 0;
  }
  return state;
}

}  // namespace

void openJoystick(InputContext& context) {
  const ThreadDataDrop dropThreadData;
  context.joystickReady = false;
  context.device = nullptr;
  // The viewer has no window: the controller must count while the terminal
  // has the focus. SDL must not take over SIGINT/SIGTERM either, or the
  // terminal would not be put back on those signals.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_JOYSTICK) != 0) return;
  // Nobody drains SDL's event queue; the state is read directly after an
  // explicit update each pass, so the queue must not fill with axis events.
  SDL_JoystickEventState(SDL_IGNORE);
  if (SDL_NumJoysticks() < 1) {
    quitJoystickSubsystem();
    return;
  }
  SDL_Joystick* joystick = SDL_JoystickOpen(0);
  if (joystick == nullptr) {
    quitJoystickSubsystem();
    return;
  }
  if (!SDL_JoystickGetAttached(joystick)) {
    printJoystickMessage(kJoystickAcquireFailedText);
    SDL_JoystickClose(joystick);
    quitJoystickSubsystem();
    return;
  }
  context.device = new JoystickDevice{joystick};
  context.joystickReady = true;
}

void runJoystickPass(InputContext& context) {
  if (!context.joystickReady || context.device == nullptr) return;
  const ThreadDataDrop dropThreadData;
  SDL_Joystick* joystick = context.device->joystick;
  SDL_JoystickUpdate();
  // SDL cannot take back a controller that was unplugged: for SDL the state
  // is unreadable and the acquire refused at once.
  if (!SDL_JoystickGetAttached(joystick)) {
    endRunOnLostJoystick(*context.commandCell, kJoystickUnpluggedCode);
  }
  storeJoystickCommand(*context.commandCell, readState(joystick));
}

void releaseJoystick(InputContext& context) {
  if (!context.joystickReady) return;
  const ThreadDataDrop dropThreadData;
  context.joystickReady = false;
  if (context.device != nullptr) {
    SDL_JoystickClose(context.device->joystick);
    delete context.device;
    context.device = nullptr;
  }
  quitJoystickSubsystem();
}

}  // namespace tavelund
