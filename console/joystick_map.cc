#include "console/joystick_map.h"

#include "console/commands.h"

namespace tavelund {

std::optional<char> mapJoystickState(const JoystickState& state) {
  std::optional<char> mapped;
  bool neutral = true;
  for (std::size_t i = 0; i < state.buttons.size(); ++i) {
    if (!isButtonPressed(state.buttons[i])) continue;
    neutral = false;
    switch (i + 1) {
      case 1:
        mapped = command::kControllerRefresh;
        break;
      case 2:
        mapped = command::kControllerNewest;
        break;
      case 3:
        mapped = command::kControllerHelp;
        break;
      default:
        break;
    }
  }
  if (state.x < kAxisLowLimit) {
    mapped = command::kControllerPastLeft;
    neutral = false;
  } else if (state.x > kAxisHighLimit) {
    mapped = command::kControllerFutureRight;
    neutral = false;
  }
  if (state.y < kAxisLowLimit) {
    mapped = command::kControllerFutureUp;
  } else if (state.y > kAxisHighLimit) {
    mapped = command::kControllerPastDown;
  } else if (neutral) {
    mapped = command::kControllerNeutral;
  }
  return mapped;
}

std::optional<char> storeJoystickCommand(std::atomic<char>& commandCell,
                                         const JoystickState& state) {
  const std::optional<char> command = mapJoystickState(state);
  if (command) commandCell.exchange(*command);
  return command;
}

}  // namespace tavelund
