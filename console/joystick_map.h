#pragma once
// What a controller's state means as a command. Kept apart from the device
// back ends so both targets share one mapping and it can be tested without
// hardware.
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace tavelund {

// The axes report 0..65535 with the centre at 32767; a stick counts as
// pushed only beyond 10000 either side of the centre, so a worn stick that
// rests slightly off centre does not scroll the chart.
inline constexpr int32_t kAxisLowLimit = 22767;   // below: left / up
inline constexpr int32_t kAxisHighLimit = 42767;  // above: right / down
inline constexpr int32_t kAxisCentre = 32767;
inline constexpr std::size_t kJoystickButtonCount = 128;

struct JoystickState {
  int32_t x = kAxisCentre;
  int32_t y = kAxisCentre;
  // A button is pressed when its most significant bit is set.
  std::array<uint8_t, kJoystickButtonCount> buttons{};
};

inline bool isButtonPressed(uint8_t button) { return (button & 0x80) != 0; }

// The command character for one pass, or none when the pass stores nothing
// (a pressed button beyond the third with the stick centred). The vertical
// axis beats the horizontal one, both beat the buttons, and among buttons
// 1 to 3 the highest wins; 'N' only when nothing at all is pressed or pushed.
std::optional<char> mapJoystickState(const JoystickState& state);

// Stores the pass's command with one exchange, so the view thread never
// sees a character that a later rule of the same pass would have replaced.
// Returns what was stored.
std::optional<char> storeJoystickCommand(std::atomic<char>& commandCell,
                                         const JoystickState& state);

}  // namespace tavelund
