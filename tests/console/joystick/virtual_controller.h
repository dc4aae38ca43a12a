#pragma once
// Test helpers for the SDL back end: SDL's virtual controller, and a child
// process whose standard output and end are collected within a deadline.
#include <SDL.h>
#include <sys/types.h>

#include <chrono>
#include <initializer_list>
#include <string>

namespace tavelund::joytest {

// A virtual controller with two axes and five buttons, attached before the
// back end looks, so it is the first joystick SDL reports.
class VirtualController {
 public:
  enum class Result { ready, sdlFailed, realControllerPresent, attachFailed };

  VirtualController() = default;
  VirtualController(const VirtualController&) = delete;
  VirtualController& operator=(const VirtualController&) = delete;
  ~VirtualController();

  Result attach();
  // SDL's own range, -32768..32767.
  void setStick(int x, int y);
  // Buttons counted from 1, as on the controller's label; the others let go.
  void setButtons(std::initializer_list<int> pressed);
  void detach();

 private:
  bool initialised_ = false;
  bool detached_ = false;
  int index_ = -1;
  SDL_Joystick* handle_ = nullptr;
};

const char* describe(VirtualController::Result result);

// True when SDL reports a joystick before any virtual one is attached.
bool realControllerPresent();

struct ChildEnd {
  bool exited = false;  // ended on its own (not by a signal, not killed by us)
  int exitCode = -1;
  std::string output;
};

// Forks; the child runs `body` with its standard output into a pipe and
// ends with 120 if `body` returns. The parent reads that output to its end
// and reaps the child, both within `limit`; a child still running then is
// killed.
ChildEnd runInChild(void (*body)(), std::chrono::seconds limit);

// The same with a terminal of its own (a pseudo-terminal of 80 x 24 as
// standard input, output and error); `finalMode` receives the terminal's
// mode flags (c_lflag) as the child left them.
ChildEnd runInTerminal(void (*body)(), std::chrono::seconds limit, unsigned* finalMode);

}  // namespace tavelund::joytest

#define ATTACH_OR_SKIP(controller)                                                             \
  do {                                                                                         \
    const auto attachResult = (controller).attach();                                           \
    if (attachResult == ::tavelund::joytest::VirtualController::Result::realControllerPresent) \
      GTEST_SKIP() << "a real controller is attached; it would be taken first";                \
    ASSERT_EQ(attachResult, ::tavelund::joytest::VirtualController::Result::ready)             \
        << SDL_GetError() << " (" << ::tavelund::joytest::describe(attachResult) << ")";       \
  } while (0)
