// The DirectInput back end where no controller is attached (as under Wine).
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "console/joystick.h"

namespace tavelund {
namespace {

TEST(DirectInputJoystick, NoControllerMeansKeyboardWithoutAWord) {
  std::ostringstream captured;
  std::streambuf* saved = std::cout.rdbuf(captured.rdbuf());
  std::atomic<char> cell{'u'};
  InputContext context{&cell};
  openJoystick(context);
  const bool ready = context.joystickReady;
  if (!ready) {
    runJoystickPass(context);  // must be a no-op without a device
    releaseJoystick(context);
  }
  std::cout.rdbuf(saved);
  if (ready) {
    releaseJoystick(context);
    GTEST_SKIP() << "a controller is attached to this machine";
  }
  EXPECT_EQ(context.device, nullptr);
  EXPECT_EQ(captured.str(), "");
  EXPECT_EQ(cell.load(), 'u');
}

}  // namespace
}  // namespace tavelund
