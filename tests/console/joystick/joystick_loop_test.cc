// The controller through the viewer's real threads: the input loop, the view
// loop and the size watch, with a fake MT5 side and fake keys; on Linux with
// SDL's virtual controller.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "console/terminal.h"
#include "console/viewer.h"
#include "tests/support/cout_capture.h"
#include "tests/support/wait.h"
#ifndef _WIN32
#include <termios.h>

#include "tests/console/joystick/virtual_controller.h"
#endif

namespace tavelund {
namespace {

using Clock = std::chrono::steady_clock;

// The MT5 side: always answers at once, with a zig-zag of minute bars large
// enough for a chart of many snapshots.
struct FakeSide {
  static inline std::atomic<int> readCount{0};
  static inline std::atomic<int> headerCount{0};
  static inline std::string timeline;

  static int setSendCheck(int*) { return 1; }
  static int getSendCheck() { return 1; }
  static const char* readLines() {
    readCount.fetch_add(1);
    return timeline.c_str();
  }
  static const char* getSendTime() {
    headerCount.fetch_add(1);
    return "2024/03/05 10:00:00.000";
  }
  static const char* getSymbol() { return "TEST"; }
};

std::string zigZagTimeline(int bars) {
  std::string text;
  char line[128];
  for (int i = 0; i < bars; ++i) {
    const double open = 100.0 * (1.0 + 0.08 * std::sin(i / 4.0));
    const double close = 100.0 * (1.0 + 0.08 * std::sin((i + 1) / 4.0));
    const double high = std::max(open, close) * 1.01;
    const double low = std::min(open, close) * 0.99;
    std::snprintf(line, sizeof line, "2024/03/05 %02d:%02d:00.000,%.5f,%.5f,%.5f,%.5f\n",
                  9 + i / 60, i % 60, open, high, low, close);
    text += line;
  }
  return text;
}

// What the fake keyboard holds down on the next passes.
enum class Keys { none, allButQ, down, q };

struct Harness {
  static inline std::atomic<Keys> keys{Keys::none};
  static inline std::atomic<int> keyReads{0};
  static inline std::atomic<int> screenResets{0};
  static inline std::atomic<bool> sizeWatchDone{false};

  static KeySet readKeys() {
    keyReads.fetch_add(1);
    KeySet down;
    switch (keys.load()) {
      case Keys::none:
        break;
      case Keys::allButQ:
        for (const KeyCommand& entry : keyboardCommands()) down.set(static_cast<size_t>(entry.key));
        break;
      case Keys::down:
        down.set(vk::kDown);
        break;
      case Keys::q:
        down.set(vk::kQ);
        break;
    }
    return down;
  }

  // Fills the viewer with fakes; its streams are written by the view thread
  // only and read by nobody.
  static void wire(Viewer& viewer, std::ostream& sink) {
    keys.store(Keys::none);
    sizeWatchDone.store(false);
    keyReads.store(0);
    screenResets.store(0);
    FakeSide::readCount.store(0);
    FakeSide::headerCount.store(0);
    FakeSide::timeline = zigZagTimeline(120);
    viewer.linkInfo = {"TEST", "M1"};
    viewer.link = {FakeSide::getSendTime, FakeSide::getSymbol, FakeSide::getSendCheck,
                   FakeSide::setSendCheck, FakeSide::readLines};
    viewer.io.out = &sink;
    viewer.io.err = &sink;
    viewer.io.resetScreen = [] { screenResets.fetch_add(1); };
    viewer.io.readKeys = readKeys;
    viewer.io.readWindowSize = [](int32_t& width, int32_t& height) {
      width = consoleWidth.load();  // never a resize
      height = consoleHeight.load();
      return true;
    };
    viewer.io.endProcess = [](int code) { std::_Exit(code); };
  }
};

bool waitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  return tavelund::testing::waitFor(condition, limit);
}

// The view thread and the size watch (which starts the input thread) of one
// viewer, started the way the program starts them.
class RunningViewer {
 public:
  explicit RunningViewer(Viewer& viewer) : viewer_(viewer) {
    view_ = std::thread([this] { runViewLoop(viewer_); });
  }
  // The program starts the view thread first, so its first pass runs the
  // initial refresh before the input thread stores anything.
  bool startInput() {
    if (!waitFor([] { return FakeSide::headerCount.load() >= 1; })) return false;
    watch_ = std::thread([this] {
      runSizeWatch(viewer_);
      Harness::sizeWatchDone.store(true);
    });
    return true;
  }
  // Q, then both threads end.
  bool quit() {
    if (!watch_.joinable()) {  // the input never started
      viewer_.stopView.exchange(true);
      view_.join();
      return false;
    }
    Harness::keys.store(Keys::q);
    const bool ended = waitFor([] { return Harness::sizeWatchDone.load(); });
    if (!ended) {
      std::fprintf(stderr, "the size watch did not end after Q\n");
      std::fflush(stderr);
      std::abort();  // the threads still use the viewer
    }
    watch_.join();
    view_.join();
    return ended;
  }
  ~RunningViewer() {
    if (view_.joinable()) quit();
  }

 private:
  Viewer& viewer_;
  std::thread view_;
  std::thread watch_;
};

using testing::CoutCapture;

// No controller (none under Wine; none on a build machine): the keyboard
// serves, silently, and Q ends the run.
TEST(JoystickInputLoop, WithoutControllerTheKeyboardServesAndQEnds) {
#ifndef _WIN32
  if (joytest::realControllerPresent()) GTEST_SKIP() << "a real controller is attached";
#endif
  std::ostringstream sink;
  Viewer viewer;
  Harness::wire(viewer, sink);
  std::string said;
  {
    CoutCapture out;  // the controller's messages would land here
    RunningViewer running(viewer);
    ASSERT_TRUE(running.startInput());
    Harness::keys.store(Keys::down);
    EXPECT_TRUE(waitFor([&] { return viewer.settings.scrollOffset() >= 6; }))
        << "DOWN did not move the chart";
    Harness::keys.store(Keys::none);
    EXPECT_TRUE(running.quit());
    said = out.text();
  }
  EXPECT_EQ(said, "");
}

#ifndef _WIN32
using joytest::VirtualController;

bool waitForInputPasses(int passes) {
  const int target = Harness::keyReads.load() + passes;
  return waitFor([&] { return Harness::keyReads.load() >= target; });
}

TEST(JoystickInputLoop, ControllerDrivesTheViewerAndKeysButQAreIgnored) {
  VirtualController controller;
  ATTACH_OR_SKIP(controller);
  std::ostringstream sink;
  Viewer viewer;
  Harness::wire(viewer, sink);
  RunningViewer running(viewer);
  ASSERT_TRUE(running.startInput());

  // Keys other than Q while the controller is in use: the stick is centred,
  // so each pass stores 'N' and nothing runs, whatever the keyboard holds.
  Harness::keys.store(Keys::allButQ);
  ASSERT_TRUE(waitForInputPasses(2));
  const int resetsBefore = Harness::screenResets.load();
  const int readsBefore = FakeSide::readCount.load();
  ASSERT_TRUE(waitForInputPasses(8));  // at least 490 ms: more than one view pass
  EXPECT_EQ(Harness::screenResets.load(), resetsBefore) << "a key ran a command";
  EXPECT_EQ(FakeSide::readCount.load(), readsBefore);
  EXPECT_EQ(viewer.settings.scrollOffset(), 0);
  EXPECT_EQ(viewer.commandCell.load(), 'N');
  Harness::keys.store(Keys::none);

  // Stick held left: one line (3 points) to the past per view pass, not per
  // input pass. View passes start at least one period apart (sleep-until
  // can only stretch under load), so the steps seen can never exceed the
  // passes that fit in the time taken.
  const int resetsAtHold = Harness::screenResets.load();
  const auto holdStart = Clock::now();
  controller.setStick(-32768, 0);
  int resetsSeen = 0;
  int offset = 0;
  ASSERT_TRUE(waitFor([&] {
    resetsSeen = Harness::screenResets.load();
    offset = viewer.settings.scrollOffset();
    return offset >= 9;
  }));
  const auto held = Clock::now() - holdStart;
  controller.setStick(0, 0);
  const long long passesThatFit = held / viewer.periods.view + 2;
  EXPECT_EQ(offset % 3, 0) << "a step other than 3 points";
  EXPECT_LE(offset / 3, passesThatFit) << "stepped faster than the view passes";
  // Every command that ran made its step (one may have begun, its step not
  // yet made).
  EXPECT_LE(resetsSeen - resetsAtHold, offset / 3 + 1);

  // Button 1 refreshes.
  const int readsBeforeButton = FakeSide::readCount.load();
  controller.setButtons({1});
  EXPECT_TRUE(waitFor([&] { return FakeSide::readCount.load() > readsBeforeButton; }));
  controller.setButtons({});

  EXPECT_TRUE(running.quit());
}

void unplugWhileTheViewerRuns() {
  VirtualController controller;
  const auto result = controller.attach();
  if (result == VirtualController::Result::realControllerPresent) std::_Exit(77);
  if (result != VirtualController::Result::ready) std::_Exit(2);
  std::ostringstream sink;
  static Viewer viewer;  // outlives this function: the threads end with the process
  Harness::wire(viewer, sink);
  auto* running = new RunningViewer(viewer);
  if (!running->startInput() || !waitForInputPasses(3)) std::_Exit(3);
  controller.detach();
  waitFor([] { return false; }, std::chrono::seconds(30));
  std::_Exit(4);  // the input thread should have ended the process
}

TEST(JoystickInputLoop, UnpluggingEndsTheRunningViewerWithOne) {
  const joytest::ChildEnd end =
      joytest::runInChild(unplugWhileTheViewerRuns, std::chrono::seconds(60));
  ASSERT_TRUE(end.exited) << "the child did not end in time; output: " << end.output;
  if (end.exitCode == 77) GTEST_SKIP() << "a real controller is attached";
  EXPECT_EQ(end.exitCode, 1);
  EXPECT_EQ(end.output,
            "Failed to reacquire joystick. Error code: -2147220983\n"
            "Exit...\n");
}

// The same in a real terminal, taken as the program takes it: the terminal
// is put back before the texts, so they stay readable after the end.
void unplugInATerminal() {
  initConsole();
  VirtualController controller;
  if (controller.attach() != VirtualController::Result::ready) std::_Exit(2);
  static Viewer viewer;  // outlives this function: the threads end with the process
  Harness::wire(viewer, std::cout);
  viewer.io.resetScreen = resetScreen;
  viewer.io.readKeys = [] {
    Harness::keyReads.fetch_add(1);
    return readKeys();
  };
  viewer.io.readWindowSize = readWindowSize;
  auto* running = new RunningViewer(viewer);
  if (!running->startInput() || !waitForInputPasses(3)) std::_Exit(3);
  controller.detach();
  waitFor([] { return false; }, std::chrono::seconds(30));
  std::_Exit(4);
}

TEST(JoystickInputLoop, UnpluggingPutsTheTerminalBackBeforeTheMessage) {
  if (joytest::realControllerPresent()) GTEST_SKIP() << "a real controller is attached";
  unsigned finalMode = 0;
  const joytest::ChildEnd end =
      joytest::runInTerminal(unplugInATerminal, std::chrono::seconds(60), &finalMode);
  ASSERT_TRUE(end.exited) << "the child did not end in time";
  EXPECT_EQ(end.exitCode, 1);
  const std::string& text = end.output;
  const size_t screenTaken = text.find("\x1b[?1049h");
  const size_t screenLeft = text.find("\x1b[?1049l");
  const size_t message =
      text.find("Failed to reacquire joystick. Error code: -2147220983\r\nExit...\r\n");
  ASSERT_NE(screenTaken, std::string::npos) << "the chart never took the screen";
  ASSERT_NE(screenLeft, std::string::npos) << "the screen was not given back";
  ASSERT_NE(message, std::string::npos) << "the message is missing";
  EXPECT_LT(screenLeft, message) << "the message went to the chart's screen, which vanished";
  EXPECT_NE(finalMode & ICANON, 0u) << "line input not restored";
  EXPECT_NE(finalMode & ECHO, 0u) << "echo not restored";
}

#endif  // !_WIN32

}  // namespace
}  // namespace tavelund
