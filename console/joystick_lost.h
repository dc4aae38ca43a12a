#pragma once
// Texts of the controller back ends and the end of the run when the
// controller is gone for good; shared by both targets.
#include <atomic>
#include <cstdint>

namespace tavelund {

inline constexpr const char* kJoystickFormatFailedText = "Failed to set joystick data format.";
inline constexpr const char* kJoystickCooperativeFailedText = "Failed to set cooperative level.";
inline constexpr const char* kJoystickAcquireFailedText = "Failed to acquire joystick.";
inline constexpr const char* kJoystickReacquireFailedText =
    "Failed to reacquire joystick. Error code: ";
inline constexpr const char* kJoystickExitText = "Exit...";

// What DirectInput reports for a controller that was unplugged; a back end
// that cannot ask the device reports this, so the text is the same on every
// target.
inline constexpr int32_t kJoystickUnpluggedCode = static_cast<int32_t>(0x80040209u);

// Prints one of the texts above on standard output with a line end.
void printJoystickMessage(const char* text);

// The controller can neither be read nor acquired again: puts the terminal
// back, says so with `errorCode`, leaves 'q' in the command cell and ends
// the process with 1.
[[noreturn]] void endRunOnLostJoystick(std::atomic<char>& commandCell, int32_t errorCode);

}  // namespace tavelund
