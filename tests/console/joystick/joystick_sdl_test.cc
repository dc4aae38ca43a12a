// The SDL back end driven by SDL's virtual controller: no hardware needed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

#include "console/joystick.h"
#include "console/process_end.h"
#include "tests/console/joystick/virtual_controller.h"
#include "tests/support/cout_capture.h"

namespace tavelund {
namespace {

using joytest::VirtualController;

using testing::CoutCapture;

class SdlJoystick : public ::testing::Test {
 protected:
  void TearDown() override { releaseJoystick(context); }

  char passWith(int x, int y, std::initializer_list<int> buttons = {}) {
    controller.setStick(x, y);
    controller.setButtons(buttons);
    runJoystickPass(context);
    return cell.load();
  }

  std::atomic<char> cell{'u'};
  InputContext context{&cell};
  VirtualController controller;
};

TEST_F(SdlJoystick, NoControllerMeansKeyboardWithoutAWord) {
  if (joytest::realControllerPresent()) GTEST_SKIP() << "a real controller is attached";
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

void unplugWhileInUse() {
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
  runJoystickPass(context);  // must not come back
}

TEST(SdlJoystickLost, UnpluggingEndsTheRunWithOneAndTheMessage) {
  const joytest::ChildEnd end = joytest::runInChild(unplugWhileInUse, std::chrono::seconds(60));
  ASSERT_TRUE(end.exited) << "the child did not end in time; output: " << end.output;
  if (end.exitCode == 77) GTEST_SKIP() << "a real controller is attached";
  EXPECT_EQ(end.exitCode, 1);
  // The terminal is put back before the texts, so they stay readable.
  EXPECT_EQ(end.output,
            "restored\n"
            "Failed to reacquire joystick. Error code: -2147220983\n"
            "Exit...\n"
            "hook q\n");
}

}  // namespace
}  // namespace tavelund
