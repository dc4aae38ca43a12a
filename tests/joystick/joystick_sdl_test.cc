// The SDL back end driven by SDL's virtual controller: no hardware needed.
#include <SDL.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <initializer_list>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "console/joystick.h"
#include "console/joystick_map.h"
#include "console/process_end.h"

namespace tavelund {
namespace {

class CoutCapture {
 public:
  CoutCapture() : saved_(std::cout.rdbuf(text_.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(saved_); }
  std::string text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* saved_;
};

// A virtual controller with two axes and five buttons, attached before the
// back end looks, so it is the first joystick SDL reports.
class VirtualController {
 public:
  enum class Result { ready, sdlFailed, realControllerPresent, attachFailed };

  Result attach() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_JOYSTICK) != 0) return Result::sdlFailed;
    initialised_ = true;
    if (SDL_NumJoysticks() != 0) return Result::realControllerPresent;
    index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 5, 0);
    if (index_ < 0) return Result::attachFailed;
    handle_ = SDL_JoystickOpen(index_);
    return handle_ != nullptr ? Result::ready : Result::attachFailed;
  }

  ~VirtualController() {
    if (handle_ != nullptr) SDL_JoystickClose(handle_);
    if (index_ >= 0 && !detached_) SDL_JoystickDetachVirtual(index_);
    if (initialised_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }

  // SDL's own range, -32768..32767.
  void setStick(int x, int y) {
    SDL_JoystickSetVirtualAxis(handle_, 0, static_cast<Sint16>(x));
    SDL_JoystickSetVirtualAxis(handle_, 1, static_cast<Sint16>(y));
  }
  // Buttons counted from 1, as on the controller's label.
  void setButtons(std::initializer_list<int> pressed) {
    for (int i = 0; i < 5; ++i) SDL_JoystickSetVirtualButton(handle_, i, 0);
    for (int button : pressed) SDL_JoystickSetVirtualButton(handle_, button - 1, 1);
  }
  void detach() {
    SDL_JoystickDetachVirtual(index_);
    detached_ = true;
  }

 private:
  bool initialised_ = false;
  bool detached_ = false;
  int index_ = -1;
  SDL_Joystick* handle_ = nullptr;
};

const char* describe(VirtualController::Result result) {
  switch (result) {
    case VirtualController::Result::ready: return "ready";
    case VirtualController::Result::sdlFailed: return "SDL_Init failed";
    case VirtualController::Result::realControllerPresent: return "a real controller is attached";
    case VirtualController::Result::attachFailed: return "virtual controller refused";
  }
  return "?";
}

#define ATTACH_OR_SKIP(controller)                                                   \
  do {                                                                               \
    const auto result = (controller).attach();                                       \
    if (result == VirtualController::Result::realControllerPresent)                  \
      GTEST_SKIP() << "a real controller is attached; it would be taken first";      \
    ASSERT_EQ(result, VirtualController::Result::ready) << SDL_GetError() << " ("    \
                                                        << describe(result) << ")";  \
  } while (0)

class SdlJoystick : public ::testing::Test {
 protected:
  std::atomic<char> cell{'u'};
  InputContext context{&cell};

  void TearDown() override { releaseJoystick(context); }

  char passWith(int x, int y, std::initializer_list<int> buttons = {}) {
    controller.setStick(x, y);
    controller.setButtons(buttons);
    runJoystickPass(context);
    return cell.load();
  }

  VirtualController controller;
};

TEST_F(SdlJoystick, NoControllerMeansKeyboardWithoutAWord) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  ASSERT_EQ(SDL_Init(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
  const bool realOne = SDL_NumJoysticks() != 0;
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  if (realOne) GTEST_SKIP() << "a real controller is attached";

  CoutCapture out;
  openJoystick(context);
  EXPECT_FALSE(context.joystickReady);
  EXPECT_EQ(context.device, nullptr);
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(cell.load(), 'u');
  EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u) << "the subsystem was left running";
}

TEST_F(SdlJoystick, StickAndButtonsBecomeCommands) {
  ATTACH_OR_SKIP(controller);
  CoutCapture out;
  openJoystick(context);
  ASSERT_TRUE(context.joystickReady);

  EXPECT_EQ(passWith(0, 0), 'N');
  EXPECT_EQ(passWith(-32768, 0), 'L');
  EXPECT_EQ(passWith(32767, 0), 'R');
  EXPECT_EQ(passWith(32767, -32768), 'U');  // up and right: vertical wins
  EXPECT_EQ(passWith(-32768, 32767), 'D');
  EXPECT_EQ(passWith(0, 0, {1}), 'X');
  EXPECT_EQ(passWith(0, 0, {2}), 'Y');
  EXPECT_EQ(passWith(0, 0, {2, 3}), 'Z');
  EXPECT_EQ(passWith(0, 0), 'N');
  cell.exchange('u');
  EXPECT_EQ(passWith(0, 0, {5}), 'u') << "button 5 alone must store nothing";
  EXPECT_EQ(out.text(), "");
}

// SDL's -32768..32767 is shifted by 32768, so the dead zone 22767..42767
// is -10001..9999 in SDL's terms.
TEST_F(SdlJoystick, AxisRangeIsShiftedOntoTheThresholds) {
  ATTACH_OR_SKIP(controller);
  openJoystick(context);
  ASSERT_TRUE(context.joystickReady);

  EXPECT_EQ(passWith(-10002, 0), 'L');
  EXPECT_EQ(passWith(-10001, 0), 'N');
  EXPECT_EQ(passWith(9999, 0), 'N');
  EXPECT_EQ(passWith(10000, 0), 'R');
  EXPECT_EQ(passWith(0, -10002), 'U');
  EXPECT_EQ(passWith(0, -10001), 'N');
  EXPECT_EQ(passWith(0, 9999), 'N');
  EXPECT_EQ(passWith(0, 10000), 'D');
}

TEST_F(SdlJoystick, ReleaseClosesTheDeviceAndTheSubsystem) {
  {
    VirtualController scoped;
    ATTACH_OR_SKIP(scoped);
    openJoystick(context);
    ASSERT_TRUE(context.joystickReady);
    releaseJoystick(context);
    EXPECT_FALSE(context.joystickReady);
    EXPECT_EQ(context.device, nullptr);
    releaseJoystick(context);  // a second release is harmless
  }
  EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
}

// The child's exit hook reports what the command cell held at the end.
std::atomic<char> lostCell{'n'};

void reportCellAtExit() {
  const char text[] = {'h', 'o', 'o', 'k', ' ', lostCell.load(), '\n'};
  [[maybe_unused]] auto written = ::write(STDOUT_FILENO, text, sizeof text);
}

struct ChildEnd {
  bool exited = false;
  int exitCode = -1;
  std::string output;
};

// Reads the child's standard output to its end and reaps it, both within
// the deadline; a child still running then is killed.
ChildEnd collectChild(pid_t pid, int outputFd, std::chrono::seconds limit) {
  ChildEnd end;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buffer[512];
  for (bool open = true; open && std::chrono::steady_clock::now() < deadline;) {
    pollfd ready{outputFd, POLLIN, 0};
    if (::poll(&ready, 1, 50) <= 0) continue;
    const ssize_t got = ::read(outputFd, buffer, sizeof buffer);
    if (got > 0) {
      end.output.append(buffer, static_cast<std::size_t>(got));
    } else {
      open = false;
    }
  }
  int status = 0;
  while (true) {
    const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
    if (reaped == pid) {
      end.exited = WIFEXITED(status);
      end.exitCode = end.exited ? WEXITSTATUS(status) : -1;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::close(outputFd);
  return end;
}

TEST(SdlJoystickLost, UnpluggingEndsTheRunWithOneAndTheMessage) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  std::cout.flush();
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    VirtualController controller;
    const auto result = controller.attach();
    if (result == VirtualController::Result::realControllerPresent) std::_Exit(77);
    if (result != VirtualController::Result::ready) std::_Exit(2);
    InputContext context{&lostCell};
    openJoystick(context);
    if (!context.joystickReady) std::_Exit(3);
    controller.setStick(-32768, 0);
    runJoystickPass(context);
    if (lostCell.load() != 'L') std::_Exit(4);
    controller.detach();
    setExitHook(reportCellAtExit);
    runJoystickPass(context);
    std::_Exit(5);  // the pass should not have come back
  }
  ::close(pipeFds[1]);
  const ChildEnd end = collectChild(pid, pipeFds[0], std::chrono::seconds(60));
  ASSERT_TRUE(end.exited) << "the child did not end in time; output: " << end.output;
  if (end.exitCode == 77) GTEST_SKIP() << "a real controller is attached";
  EXPECT_EQ(end.exitCode, 1);
  EXPECT_EQ(end.output,
            "restored\n"
            "Failed to reacquire joystick. Error code: -2147220983\n"
            "Exit...\n"
            "hook q\n");
}

}  // namespace
}  // namespace tavelund
