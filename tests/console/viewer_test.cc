#include "console/viewer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/deadline.h"
#include "common/run_log.h"
#include "console/link_watch.h"
#include "console/terminal.h"
#include "tests/console/daily_timeline.h"
#include "tests/support/wait.h"

namespace tavelund {
namespace {

namespace fs = std::filesystem;

// The MT5 side: answers every request at once with `lines`.
struct FakeSide {
  std::mutex lock;
  std::string lines;
  std::string sendTime = "2024/01/02 03:04:05.006";
  std::atomic<int> sendCheck{1};
  std::atomic<int> requests{0};
  std::atomic<int> reads{0};  // of the timeline
};
FakeSide side;

const LinkCalls kFakeLink{
    [] {
      // Like the library's own: a copy that stays valid until the next call.
      thread_local std::string copy;
      std::lock_guard<std::mutex> lock(side.lock);
      copy = side.sendTime;
      return copy.c_str();
    },
    [] { return "SP500"; },
    [] { return side.sendCheck.load() == 0 ? (side.sendCheck.store(1), 1) : 1; },
    [](int* value) {
      side.requests.fetch_add(1);
      side.sendCheck.store(*value);
      return 1;
    },
    [] {
      side.reads.fetch_add(1);
      std::lock_guard<std::mutex> lock(side.lock);
      return side.lines.c_str();
    },
};

// Ten days up by `step`, ten days down, and so on.
std::string dailyLines(int count, double start, double step) {
  return testing::dailyTimeline(count, [&](int i) {
    const int day = i % 20;
    return start + step * (day <= 10 ? day : 20 - day);
  });
}

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      std::lock_guard<std::mutex> lock(side.lock);
      side.lines.clear();
      side.sendTime = "2024/01/02 03:04:05.006";
    }
    side.sendCheck.store(1);
    side.requests.store(0);
    viewer = std::make_unique<Viewer>();
    viewer->link = kFakeLink;
    viewer->linkInfo = {"SP500", "D1"};
    viewer->io.out = &out;
    viewer->io.err = &err;
    viewer->io.resetScreen = [this] { resets.fetch_add(1); };
    viewer->io.readKeys = [] { return KeySet{}; };
    viewer->io.readWindowSize = [](int32_t& w, int32_t& h) {
      w = 80;
      h = 40;
      return true;
    };
    viewer->io.endProcess = [](int) { FAIL() << "the viewer must not end the process here"; };
  }

  void setLines(std::string lines) {
    std::lock_guard<std::mutex> lock(side.lock);
    side.lines = std::move(lines);
  }
  // The producer publishes unasked: new lines, then a new send time.
  void publish(std::string lines, std::string sendTime) {
    std::lock_guard<std::mutex> lock(side.lock);
    side.lines = std::move(lines);
    side.sendTime = std::move(sendTime);
  }
  // One view pass, with `command` pending if given; returns its output.
  std::string pass(char command = 'n') {
    viewer->commandCell.exchange(command);
    out.str("");
    runViewPass(*viewer);
    return out.str();
  }

  // Runs one command as the view thread does; returns its output.
  std::string run(char command) {
    out.str("");
    viewer->commandCell.exchange(command);
    executeCommand(*viewer);
    return out.str();
  }

  std::string lineOf(const std::string& text, int index) {
    std::istringstream in(text);
    std::string line;
    for (int i = 0; i <= index; ++i) std::getline(in, line);
    return line;
  }

  std::unique_ptr<Viewer> viewer;
  std::ostringstream out, err;
  std::atomic<int> resets{0};
};

// The text after the refresh's last screen clear: the redraw.
std::string redrawPart(const std::string& text) {
  const size_t done = text.rfind("    Done.\n");
  return done == std::string::npos ? text : text.substr(done + 10);
}

TEST_F(ViewerTest, RefreshDrawsHeaderLastLineAndChart) {
  setLines(dailyLines(60, 100, 2));
  const std::string drawn = redrawPart(run('u'));
  EXPECT_EQ(lineOf(drawn, 0), "UPDATE >> 2024/01/02 03:04:05.006    SP500 (D1)");
  EXPECT_EQ(lineOf(drawn, 1).rfind("LAST LINE : ", 0), 0u);
  EXPECT_NE(lineOf(drawn, 1).find(") => "), std::string::npos);
  EXPECT_EQ(lineOf(drawn, 2), std::string(96, '-'));
  EXPECT_NE(drawn.find('X'), std::string::npos) << drawn;
  EXPECT_EQ(viewer->commandCell.load(), 'n');
  EXPECT_GT(viewer->settings.viewOffsetLimit(), 50);
  EXPECT_EQ(resets.load(), 2) << "the refresh clears before and after its conversion";
}

TEST_F(ViewerTest, MovesChangeTheOffsetsAndRedraw) {
  setLines(dailyLines(60, 100, 2));
  run('u');
  const int32_t limit = viewer->settings.viewOffsetLimit();
  const std::string newest = lineOf(run('r'), 1);
  run('-');
  EXPECT_EQ(viewer->settings.scrollOffset(), 30);
  EXPECT_EQ(viewer->settings.viewOffset(), 30);
  const std::string back = lineOf(run('2'), 1);
  EXPECT_EQ(viewer->settings.viewOffset(), 33);
  EXPECT_NE(back, newest);
  run('5');
  EXPECT_EQ(viewer->settings.viewOffset(), limit);
  run('8');
  EXPECT_EQ(viewer->settings.viewOffset(), 3 * (limit / 3) - 3);
  EXPECT_EQ(lineOf(run('0'), 1), newest);
  EXPECT_EQ(viewer->settings.scrollOffset(), 0);
  // A redraw moves nothing.
  run('r');
  EXPECT_EQ(viewer->settings.viewOffset(), 0);
}

TEST_F(ViewerTest, LastLineAfterAnEmptyChartShowsTheNewestSnapshot) {
  // No points: limit -1, END leaves the offset at -1; a refresh that brings
  // points keeps -1 (it is below the new limit). The last line must then be
  // the newest snapshot's, not one past the end.
  run('u');
  EXPECT_EQ(viewer->settings.viewOffsetLimit(), -1);
  EXPECT_EQ(lineOf(redrawPart(run('r')), 1), "LAST LINE : (0.00000) => (0.00000)");
  run('5');
  EXPECT_EQ(viewer->settings.viewOffset(), -1);
  setLines(dailyLines(20, 100, 2));
  const std::string after = lineOf(redrawPart(run('u')), 1);
  EXPECT_EQ(viewer->settings.viewOffset(), -1);
  run('0');
  EXPECT_EQ(lineOf(run('r'), 1), after);
  EXPECT_NE(after, "LAST LINE : (0.00000) => (0.00000)");
}

TEST_F(ViewerTest, ScreensAndUnknownCommands) {
  runLog().clear();
  appendLog("hello");
  const std::string log = run('l');
  EXPECT_NE(log.find("  hello\n"), std::string::npos);
  EXPECT_EQ(lineOf(run('h'), 4), "         COMMAND HELP");
  EXPECT_EQ(lineOf(run('Z'), 3), "         COMMAND HELP");
  EXPECT_EQ(lineOf(run('?'), 0), "UPDATE >> 2024/01/02 03:04:05.006    SP500 (D1)");
  EXPECT_EQ(viewer->commandCell.load(), 'n');
}

TEST_F(ViewerTest, SaveScreenWritesTheCsvBesideTheProgram) {
  const fs::path folder = fs::temp_directory_path() / "viewer_test_save";
  fs::remove_all(folder);
  fs::create_directories(folder);
  viewer->io.programFolder = folder;
  setLines(dailyLines(3, 100, 1));
  const std::string screen = run('s');
  EXPECT_EQ(lineOf(screen, 2), "    Data SAVE : 's' Key ");
  EXPECT_NE(screen.find("    Saved : "), std::string::npos) << screen;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder / "CSV")) {
    ++files;
    EXPECT_EQ(entry.path().filename().string().rfind("SP500_", 0), 0u);
    std::ifstream in(entry.path());
    std::string header, first;
    std::getline(in, header);
    std::getline(in, first);
    EXPECT_EQ(header, "date,open,high,low,close");
    EXPECT_EQ(first, "2000/01/03 00:00,102.00000,102.00000,102.00000,102.00000");
  }
  EXPECT_EQ(files, 1);
  fs::remove_all(folder);
}

TEST_F(ViewerTest, AFolderThatCannotBeMadeEndsTheRunWithOne) {
  const fs::path folder = fs::temp_directory_path() / "viewer_test_no_folder";
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "CSV") << "a plain file in the folder's place";
  viewer->io.programFolder = folder;
  std::atomic<int> endedWith{-100};
  viewer->io.endProcess = [&](int code) { endedWith.store(code); };
  viewer->io.leaveScreen = [&] { err << "<screen left>"; };
  run('s');
  EXPECT_EQ(endedWith.load(), 1);
  EXPECT_EQ(err.str().rfind("<screen left>mkdir error : ", 0), 0u)
      << "the screen is left before the message: " << err.str();
  fs::remove_all(folder);
}

// The live view follows what the producer publishes unasked, only while it
// is on, the chart is shown and the view is at its newest state, and never
// asks the producer for anything.
TEST_F(ViewerTest, LiveViewFollowsUnaskedPublishesAtTheNewestState) {
  std::vector<std::string> titles;
  viewer->io.setTitle = [&](const char* title) { titles.emplace_back(title); };
  setLines(dailyLines(60, 100, 2));
  pass('u');
  const std::string first = lineOf(pass('r'), 1);

  // Off, as at start: a new send time changes nothing.
  publish(dailyLines(70, 100, 2), "2024/01/02 03:04:06.000");
  int reads = side.reads.load();
  EXPECT_EQ(pass(), "");
  EXPECT_EQ(side.reads.load(), reads);

  // A: on, and the chart shows at once what the timeline holds.
  const std::string switched = pass('a');
  EXPECT_EQ(lineOf(switched, 0), "UPDATE >> 2024/01/02 03:04:06.000    SP500 (D1)");
  const std::string followed = lineOf(switched, 1);
  EXPECT_NE(followed, first);
  // (What the switch converted completed signals: their alerts follow.)
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles.front(), "TavelundP&F FREE (LIVE)");
  EXPECT_NE(
      std::find_if(runLog().begin(), runLog().end(),
                   [](const RunLogEntry& entry) { return entry.message == "LIVE VIEW   : ON"; }),
      runLog().end());
  // Nothing new: nothing happens.
  EXPECT_EQ(pass(), "");

  // A new batch: one conversion and one redraw in the pass.
  publish(dailyLines(80, 100, 2), "2024/01/02 03:04:07.000");
  reads = side.reads.load();
  const std::string redrawn = pass();
  EXPECT_EQ(side.reads.load(), reads + 1);
  EXPECT_EQ(lineOf(redrawn, 0), "UPDATE >> 2024/01/02 03:04:07.000    SP500 (D1)");
  EXPECT_NE(lineOf(redrawn, 1), followed);
  EXPECT_EQ(pass(), "") << "at most once per pass, and once per send time";
  // A key stored while the live view redraws is not dropped by the redraw.
  publish(dailyLines(85, 100, 2), "2024/01/02 03:04:07.500");
  viewer->commandCell.exchange('5');
  followProducer(*viewer);
  EXPECT_EQ(viewer->commandCell.load(), '5');
  pass('0');

  // Scrolled back: the view stays where the user put it.
  pass('2');
  publish(dailyLines(90, 100, 2), "2024/01/02 03:04:08.000");
  EXPECT_EQ(pass(), "");
  // Back at the newest state, the next pass catches up.
  pass('0');
  EXPECT_EQ(lineOf(pass(), 0), "UPDATE >> 2024/01/02 03:04:08.000    SP500 (D1)");

  // A screen stays until the next command.
  pass('h');
  publish(dailyLines(95, 100, 2), "2024/01/02 03:04:09.000");
  EXPECT_EQ(pass(), "");
  pass('r');
  EXPECT_NE(pass(), "");

  // A again: off; the producer is followed no more.
  pass('a');
  EXPECT_EQ(titles.back(), "TavelundP&F FREE");
  publish(dailyLines(99, 100, 2), "2024/01/02 03:04:10.000");
  EXPECT_EQ(pass(), "");
  EXPECT_EQ(side.requests.load(), 0) << "the send flag was never written";
}

// A peer keeps the send time's mutex: the header's read never returns.
// Q ends input and size watch; the wait for the view thread then gives up
// once that one call has run for the limit, while an idle or merely busy
// view thread is waited for.
TEST_F(ViewerTest, TheEndNoticesAViewThreadStuckInALinkCall) {
  static std::mutex held;
  static std::atomic<bool> waiting{false};
  held.lock();
  viewer->link = watchedLinkCalls(LinkCalls{[] {
                                              waiting.store(true);
                                              std::lock_guard<std::mutex> lock(held);
                                              return "2024/01/02 03:04:05.006";
                                            },
                                            kFakeLink.getSymbol, kFakeLink.getSendCheck,
                                            kFakeLink.setSendCheck, kFakeLink.readLines});
  viewer->commandCell.exchange('r');
  std::atomic<bool> ended{false};
  std::thread view([&] {
    runViewLoop(*viewer);
    ended.store(true);
  });
  while (!waiting.load()) sleepPeriod(std::chrono::milliseconds(1));
  EXPECT_EQ(linkCallDuration() < std::chrono::milliseconds(1000), true);
  viewer->stopView.exchange(true);
  const auto start = MonotonicClock::now();
  EXPECT_FALSE(waitForViewEnd(ended, linkCallDuration, std::chrono::milliseconds(200)));
  EXPECT_GE(MonotonicClock::now() - start, std::chrono::milliseconds(150));
  held.unlock();  // the peer lets go: the view thread ends
  EXPECT_TRUE(waitForViewEnd(ended, linkCallDuration, std::chrono::minutes(1)));
  view.join();
  EXPECT_EQ(linkCallDuration(), std::chrono::milliseconds(0));
}

// Any of the five calls may be the one a held channel keeps: each is timed
// while it runs, and none after it returned.
std::vector<std::string> unwatchedCalls;

void noteUnlessTimed(const char* call) {
  const bool timed = testing::waitFor(
      [] { return linkCallDuration() >= std::chrono::milliseconds(1); }, std::chrono::seconds(5));
  if (!timed) unwatchedCalls.emplace_back(call);
}

TEST(LinkWatch, EveryCallIsTimedWhileItRuns) {
  unwatchedCalls.clear();
  const LinkCalls watched = watchedLinkCalls(LinkCalls{
      [] { return noteUnlessTimed("getSendTime"), ""; },
      [] { return noteUnlessTimed("getSymbol"), ""; },
      [] { return noteUnlessTimed("getSendCheck"), 1; },
      [](int*) { return noteUnlessTimed("setSendCheck"), 1; },
      [] { return noteUnlessTimed("readLines"), ""; },
  });
  int value = 0;
  watched.getSendTime();
  watched.getSymbol();
  watched.getSendCheck();
  watched.setSendCheck(&value);
  watched.readLines();
  EXPECT_EQ(unwatchedCalls, std::vector<std::string>{});
  EXPECT_EQ(linkCallDuration(), std::chrono::milliseconds(0));
}

// The three threads together: keys become commands on the view thread, a
// size change redraws, and Q ends input, size watch and view loop.
TEST_F(ViewerTest, ThreadsRunCommandsAndEndOnQ) {
  setLines(dailyLines(60, 100, 2));
  viewer->periods = {std::chrono::milliseconds(20), std::chrono::milliseconds(5),
                     std::chrono::milliseconds(1)};
  std::atomic<int> passes{0};
  std::atomic<bool> pressQ{false};
  std::atomic<int> width{80};
  viewer->io.readKeys = [&] {
    KeySet down;
    // PAGE DOWN held from the 40th pass until the view has moved (a key
    // seen while a command runs is overwritten, as with a real key).
    const int pass = passes.fetch_add(1);
    if (pass >= 40 && viewer->settings.scrollOffset() == 0) down.set(vk::kPageDown);
    if (pressQ.load()) down.set(vk::kQ);
    return down;
  };
  viewer->io.readWindowSize = [&](int32_t& w, int32_t& h) {
    w = width.load();
    h = 40;
    return true;
  };
  consoleWidth.store(80);
  consoleHeight.store(40);

  std::thread view([&] { runViewLoop(*viewer); });
  std::thread watch([&] { runSizeWatch(*viewer); });
  const auto deadline = MonotonicClock::now() + std::chrono::seconds(20);
  auto waitFor = [&](auto condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto until = std::min(deadline, MonotonicClock::now() + limit);
    while (!condition() && MonotonicClock::now() < until) sleepPeriod(std::chrono::milliseconds(2));
    return condition();
  };
  EXPECT_TRUE(waitFor([&] { return viewer->settings.scrollOffset() >= 30; }))
      << "PAGE DOWN on the input thread moved the view";
  // A resize lays out again and the view thread redraws. A redraw asked for
  // while the view thread still runs a command is overwritten when that
  // command ends, so the window is resized again until one lands.
  bool redrawn = false;
  for (int attempt = 0; attempt < 10 && !redrawn; ++attempt) {
    const int before = resets.load();
    width.store(100 + attempt);
    redrawn = waitFor([&] { return resets.load() >= before + 2; }, std::chrono::seconds(2));
  }
  EXPECT_TRUE(redrawn);
  EXPECT_EQ(consoleWidth.load(), width.load());
  pressQ.store(true);
  EXPECT_TRUE(waitFor([&] { return viewer->stopView.load(); }));
  watch.join();
  view.join();
  EXPECT_TRUE(viewer->exitRequested.load());
  EXPECT_NE(out.str().find("UPDATE >> "), std::string::npos);
}

// The lines of `text` in the opposite order.
std::string reversedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  std::string out;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) out += *it;
  return out;
}

std::vector<std::string> timeOrderEntries() {
  std::vector<std::string> found;
  for (const RunLogEntry& entry : runLog()) {
    if (entry.message.rfind("TIME ORDER  : ", 0) == 0) found.push_back(entry.message);
  }
  return found;
}

// A batch published newest first is still drawn, and gets one run-log
// entry (not one per line), whether U or the live view converted it; a
// batch oldest first gets none.
TEST_F(ViewerTest, ABatchNotOldestFirstGetsOneRunLogEntry) {
  struct Case {
    const char* what;
    char command;
    bool newestFirst;
  };
  const Case cases[] = {{"U, oldest first", 'u', false},
                        {"U, newest first", 'u', true},
                        {"live view, oldest first", 'a', false},
                        {"live view, newest first", 'a', true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();  // a viewer that holds no records yet
    const std::string lines = dailyLines(30, 100, 2);
    setLines(c.newestFirst ? reversedLines(lines) : lines);
    const std::size_t before = timeOrderEntries().size();
    const std::string drawn = run(c.command);
    EXPECT_NE(drawn.find("LAST LINE : 2000/"), std::string::npos) << drawn;
    const std::vector<std::string> entries = timeOrderEntries();
    ASSERT_EQ(entries.size() - before, c.newestFirst ? 1u : 0u);
    if (c.newestFirst) {
      EXPECT_EQ(entries.back(),
                "TIME ORDER  : the batch is not oldest first: 2000/02/01 00:00 follows 2000/02/02 "
                "00:00");
    }
  }
}

}  // namespace
}  // namespace tavelund
