#include "console/joystick_map.h"

#include <gtest/gtest.h>

#include <optional>

namespace tavelund {
namespace {

JoystickState stick(int32_t x, int32_t y) {
  JoystickState state;
  state.x = x;
  state.y = y;
  return state;
}

JoystickState centredWithButtons(std::initializer_list<int> pressedButtons) {
  JoystickState state;
  for (int button : pressedButtons) state.buttons[static_cast<std::size_t>(button - 1)] = 0x80;
  return state;
}

TEST(JoystickMap, DeadZoneIsInclusiveOnBothAxes) {
  struct Case {
    int32_t value;
    std::optional<char> onX, onY;
  };
  const Case cases[] = {
      {0, 'L', 'U'},     {22766, 'L', 'U'}, {22767, 'N', 'N'}, {kAxisCentre, 'N', 'N'},
      {42767, 'N', 'N'}, {42768, 'R', 'D'}, {65535, 'R', 'D'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mapJoystickState(stick(c.value, kAxisCentre)), c.onX) << "x = " << c.value;
    EXPECT_EQ(mapJoystickState(stick(kAxisCentre, c.value)), c.onY) << "y = " << c.value;
  }
}

TEST(JoystickMap, VerticalAxisIsDecidedLast) {
  EXPECT_EQ(mapJoystickState(stick(65535, 0)), 'U');  // up and right
  EXPECT_EQ(mapJoystickState(stick(0, 65535)), 'D');  // down and left
  JoystickState leftWithButton = centredWithButtons({1});
  leftWithButton.x = 0;
  EXPECT_EQ(mapJoystickState(leftWithButton), 'L');
  JoystickState downWithButton = centredWithButtons({3});
  downWithButton.y = 65535;
  EXPECT_EQ(mapJoystickState(downWithButton), 'D');
}

TEST(JoystickMap, HighestOfTheFirstThreeButtonsWins) {
  EXPECT_EQ(mapJoystickState(centredWithButtons({1})), 'X');
  EXPECT_EQ(mapJoystickState(centredWithButtons({2})), 'Y');
  EXPECT_EQ(mapJoystickState(centredWithButtons({3})), 'Z');
  EXPECT_EQ(mapJoystickState(centredWithButtons({2, 3})), 'Z');
  EXPECT_EQ(mapJoystickState(centredWithButtons({1, 2})), 'Y');
  EXPECT_EQ(mapJoystickState(centredWithButtons({1, 2, 3, 4, 128})), 'Z');
}

TEST(JoystickMap, OtherButtonsStoreNothingNotEvenNeutral) {
  EXPECT_EQ(mapJoystickState(centredWithButtons({5})), std::nullopt);
  EXPECT_EQ(mapJoystickState(centredWithButtons({4, 128})), std::nullopt);
  // ...but they do not hide the stick.
  JoystickState rightWithButton5 = centredWithButtons({5});
  rightWithButton5.x = 65535;
  EXPECT_EQ(mapJoystickState(rightWithButton5), 'R');

  std::atomic<char> cell{'u'};
  EXPECT_EQ(storeJoystickCommand(cell, centredWithButtons({5})), std::nullopt);
  EXPECT_EQ(cell.load(), 'u');
}

TEST(JoystickMap, OnlyTheTopBitMeansPressed) {
  JoystickState state;
  state.buttons[0] = 0x7F;
  state.buttons[1] = 0x01;
  EXPECT_EQ(mapJoystickState(state), 'N');
  state.buttons[2] = 0x81;
  EXPECT_EQ(mapJoystickState(state), 'Z');
}

TEST(JoystickMap, StoreLeavesOnlyTheFinalCharacter) {
  std::atomic<char> cell{'n'};
  JoystickState everything = centredWithButtons({1, 2, 3});
  everything.x = 0;
  everything.y = 0;
  EXPECT_EQ(storeJoystickCommand(cell, everything), 'U');
  EXPECT_EQ(cell.load(), 'U');
  EXPECT_EQ(storeJoystickCommand(cell, JoystickState{}), 'N');
  EXPECT_EQ(cell.load(), 'N');
}

}  // namespace
}  // namespace tavelund
