#include "console/joystick_map.h"

namespace tavelund {

std::optional<char> mapJoystickState(const JoystickState& state) {
  std::optional<char> command;
  bool neutral = true;
  for (std::size_t i = 0; i < state.buttons.size(); ++i) {
    if (!isButtonPressed(state.buttons[i])) continue;
    neutral = false;
    switch (i + 1) {
      case 1:
        command = 'X';
        break;  // refresh
      case 2:
        command = 'Y';
        break;  // newest
      case 3:
        command = 'Z';
        break;  // controller help
      default:
        break;
    }
  }
  if (state.x < kAxisLowLimit) {
    command = 'L';
    neutral = false;
  } else if (state.x > kAxisHighLimit) {
    command = 'R';
    neutral = false;
  }
  if (state.y < kAxisLowLimit) {
    command = 'U';
  } else if (state.y > kAxisHighLimit) {
    command = 'D';
  } else if (neutral) {
    command = 'N';
  }
  return command;
}

std::optional<char> storeJoystickCommand(std::atomic<char>& commandCell,
                                         const JoystickState& state) {
  const std::optional<char> command = mapJoystickState(state);
  if (command) commandCell.exchange(*command);
  return command;
}

}  // namespace tavelund
