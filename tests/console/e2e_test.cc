// The native viewer for real: in a tmux pane, against tickwell-feed playing
// the MT5 side through the real shared-memory channels.
#include "tests/console/viewer_e2e.h"

namespace tavelund::testing {
namespace {

TEST_F(ViewerEndToEnd, DriverBlockWhenNothingIsPublishedEndsOnAKey) {
  TerminalSession session(runCommand());
  ASSERT_TRUE(session.showsWithin("     Check MT5 -> DRIVER DOES NOT LOADED!!!", 10s))
      << session.screen();
  EXPECT_NE(session.screen().find("     Press Any Key..."), std::string::npos);
  EXPECT_FALSE(ended(200ms)) << "the block waits for a key";
  session.sendKeys("x");
  ASSERT_TRUE(ended(5s));
  EXPECT_EQ(exitCode(), "255");
  EXPECT_EQ(fileText(folder_ / "stty.after"), fileText(folder_ / "stty.before"));
  // The block stays readable after the end.
  EXPECT_TRUE(session.showsWithin("DRIVER DOES NOT LOADED", 1s));
}

TEST_F(ViewerEndToEnd, HelpStaysReadableAndEndsWithMinusOne) {
  TerminalSession session(runCommand("-e -h"));
  ASSERT_TRUE(ended(10s));
  EXPECT_EQ(exitCode(), "255");
  ASSERT_TRUE(session.showsWithin("after-marker", 5s));
  const std::string screen = session.screen();
  EXPECT_NE(screen.find("        -h    : ヘルプ"), std::string::npos) << screen;
  EXPECT_NE(screen.find("        -r < 1  <->  600 >"), std::string::npos) << screen;
  EXPECT_EQ(fileText(folder_ / "stty.after"), fileText(folder_ / "stty.before"));
}

TEST_F(ViewerEndToEnd, ALinkLibraryMissingBesideTheProgramEndsWithOne) {
  // The program still starts (the loader finds the library elsewhere), but
  // the file beside it, which the viewer binds explicitly, is missing.
  fs::remove(folder_ / "libtickwell.so");
  TerminalSession session(
      runCommand().insert(0, "LD_LIBRARY_PATH=" + testing::shellQuote(TAVELUND_BIN_DIR) + " "));
  ASSERT_TRUE(ended(10s)) << session.screen();
  EXPECT_EQ(exitCode(), "1");
  EXPECT_TRUE(session.showsWithin("Could not load the dynamic library : ", 2s)) << session.screen();
  EXPECT_EQ(fileText(folder_ / "stty.after"), fileText(folder_ / "stty.before"));
}

TEST_F(ViewerEndToEnd, OutputThatIsNoTerminalEndsWithOne) {
  const std::string command = "cd " + testing::shellQuote(folder_.string()) +
                              " && ./ConsoleTavelundPF > out.txt 2> err.txt < /dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(fileText(folder_ / "err.txt"), "Console Error: GetConsoleScreenBufferInfo\n");
  EXPECT_EQ(fileText(folder_ / "out.txt"), "");
}

TEST_F(ViewerEndToEnd, KeysScrollRefreshShowScreensSaveAndQuit) {
  startFeed();
  TerminalSession session(runCommand());
  const std::string newest = "=> " + barDate(kFirstBatch - 1) + " 00:00(";
  ASSERT_TRUE(session.showsWithin(newest, 15s)) << session.screen();
  EXPECT_NE(session.lineStartingWith("UPDATE >> ").find("    SP500 (D1)"), std::string::npos);
  EXPECT_TRUE(session.showsWithin(std::string(96, '-'), 1s));
  EXPECT_NE(session.screen().find("(Now)"), std::string::npos) << session.screen();

  // Every scroll key, through the terminal's own key bytes. After the first
  // conversion there is one snapshot per point and one point per bar (no
  // expansion), so offset o shows bar kFirstBatch - 1 - o as the last point.
  const auto showsOffset = [&](int offset) {
    const std::string last = "=> " + barDate(kFirstBatch - 1 - offset) + " 00:00(";
    return session.showsWithin(last, 5s);
  };
  const struct {
    const char* key;
    int offset;
  } scrolls[] = {{"NPage", 30}, {"Left", 33},  {"Down", 36},
                 {"Up", 33},    {"Right", 30}, {"PPage", 0}};
  for (const auto& scroll : scrolls) {
    session.pressWhenStill(scroll.key);
    ASSERT_TRUE(showsOffset(scroll.offset)) << scroll.key << "\n" << session.screen();
  }

  // U: the feed answers the request with five more bars.
  session.pressWhenStill("u");
  const std::string grown = "=> " + barDate(kFirstBatch + kPerRequest - 1) + " 00:00(";
  ASSERT_TRUE(session.showsWithin(grown, 10s)) << session.screen();

  // END: the oldest state, a column of the first bar only.
  session.pressWhenStill("End");
  const std::string oldest = "LAST LINE : " + barDate(0) + " 00:00(";
  ASSERT_TRUE(session.showsWithin(oldest, 5s)) << session.screen();
  // HOME: back to the newest.
  session.pressWhenStill("Home");
  ASSERT_TRUE(session.showsWithin(grown, 5s)) << session.screen();
  const std::string newestLine = session.lineStartingWith("LAST LINE : ");
  // PAGE DOWN: 30 points back, neither end.
  session.pressWhenStill("NPage");
  ASSERT_TRUE(waitUntil(
      [&] {
        const std::string line = session.lineStartingWith("LAST LINE : ");
        return !line.empty() && line != newestLine && line.find(oldest) != 0;
      },
      5s))
      << session.screen();

  // L: the run log, newest first.
  session.pressWhenStill("l");
  ASSERT_TRUE(session.showsWithin("SYMBOL      : SP500", 5s)) << session.screen();
  EXPECT_NE(session.screen().find("TIME SPAN   : D1"), std::string::npos);

  // H, then a resize: the watch lays out again and the chart is redrawn.
  session.pressWhenStill("h");
  ASSERT_TRUE(session.showsWithin("         COMMAND HELP", 5s)) << session.screen();
  session.waitStill();
  session.resize(100, 40);
  ASSERT_TRUE(session.showsWithin("UPDATE >> ", 5s)) << session.screen();
  EXPECT_EQ(session.screen().find("COMMAND HELP"), std::string::npos);

  // S: the save asks once more (five more bars) and writes every bar,
  // newest first, into CSV beside the program.
  session.pressWhenStill("s");
  ASSERT_TRUE(session.showsWithin("    Done... ", 15s)) << session.screen();
  const std::string saved = session.lineStartingWith("    Saved : ");
  ASSERT_FALSE(saved.empty()) << session.screen();
  ASSERT_EQ(std::distance(fs::directory_iterator(folder_ / "CSV"), fs::directory_iterator()), 1);
  const fs::path file = fs::directory_iterator(folder_ / "CSV")->path();
  EXPECT_EQ(file.filename().string().rfind("SP500_", 0), 0u);
  // The line names it on one row of the 100 cells: where the path is too
  // long, the symbol in it is cut, the folder and the time stamp stay.
  EXPECT_LE(saved.size(), 100u) << saved;
  EXPECT_EQ(saved.rfind("    Saved : " + (folder_ / "CSV").string() + "/", 0), 0u) << saved;
  const std::string stamp = file.filename().string().substr(5);  // "_YYYYMMDDhhmmss.csv"
  EXPECT_EQ(saved.substr(saved.size() - stamp.size()), stamp) << saved;
  std::ifstream csv(file);
  std::vector<std::string> rows;
  for (std::string row; std::getline(csv, row);) rows.push_back(row);
  const int shown = kFirstBatch + 2 * kPerRequest;
  ASSERT_EQ(rows.size(), static_cast<size_t>(shown + 1));
  EXPECT_EQ(rows[0], "date,open,high,low,close");
  EXPECT_EQ(rows[1].rfind(barDate(shown - 1) + " 00:00,", 0), 0u) << rows[1];
  EXPECT_EQ(rows.back().rfind(barDate(0) + " 00:00,", 0), 0u) << rows.back();
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "CSV"), fs::directory_iterator()), 1);

  // Q: the run ends with 0 within a second and the terminal is as before.
  session.waitStill();
  const auto pressed = std::chrono::steady_clock::now();
  session.sendKeys("q");
  ASSERT_TRUE(ended(5s));
  const auto took = std::chrono::steady_clock::now() - pressed;
  EXPECT_LT(took, 1s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                      << " ms";
  EXPECT_EQ(exitCode(), "0");
  expectTerminalRestored(session);
}

// The CSV folder cannot be made: the run ends with 1, and its message is
// written after the terminal is given back, so it stays readable.
TEST_F(ViewerEndToEnd, AFolderFailureEndsWithOneAndItsMessageStaysReadable) {
  std::ofstream(folder_ / "CSV") << "a plain file in the folder's place";
  startFeed();
  TerminalSession session(runCommand());
  ASSERT_TRUE(session.showsWithin("LAST LINE : ", 15s)) << session.screen();
  session.pressWhenStill("s");
  ASSERT_TRUE(ended(10s)) << session.screen();
  EXPECT_EQ(exitCode(), "1");
  expectTerminalRestored(session);
  EXPECT_NE(session.screen().find("mkdir error : " + (folder_ / "CSV").string() + " : "),
            std::string::npos)
      << session.screen();
}

// A: the live view follows what the feed publishes unasked, only while it
// is on and at the newest state, and never asks: the feed here ends after
// answering one request, so a viewer that asked would stop it.
TEST_F(ViewerEndToEnd, LiveViewFollowsUnaskedPublishesWithoutAsking) {
  startFeed({"--first", "250", "--add", "1", "--interval", "400", "--requests", "1"});
  TerminalSession session(runCommand());
  ASSERT_TRUE(session.showsWithin("LAST LINE : ", 15s)) << session.screen();
  // The newest point's time on the LAST LINE: "... => 2000/09/07 00:00(...)".
  const auto newest = [&] {
    const std::string line = session.lineStartingWith("LAST LINE : ");
    const size_t arrow = line.find(" => ");
    return arrow == std::string::npos ? std::string() : line.substr(arrow + 4, 16);
  };
  const auto publishes = [&] {
    const std::string log = feedLog();
    size_t count = 0;
    for (size_t at = log.find("published"); at != std::string::npos;
         at = log.find("published", at + 1)) {
      ++count;
    }
    return count;
  };
  const auto twoMorePublishes = [&] {
    const size_t before = publishes();
    return waitUntil([&] { return publishes() >= before + 2; }, 10s);
  };

  // Off, as at start: the feed publishes, the chart stays as it was drawn.
  session.waitStill();
  const std::string drawn = newest();
  ASSERT_FALSE(drawn.empty()) << session.screen();
  ASSERT_TRUE(twoMorePublishes()) << feedLog();
  EXPECT_EQ(newest(), drawn) << session.screen();

  // On: what the feed holds now at once, then each new bar as it comes.
  session.sendKeys("a");
  ASSERT_TRUE(waitUntil([&] { return newest() > drawn; }, 5s)) << session.screen();
  const std::string followed = newest();
  ASSERT_TRUE(waitUntil([&] { return newest() > followed; }, 5s)) << session.screen();
  EXPECT_EQ(session.paneFormat("#{pane_title}"), "TavelundP&F FREE (LIVE)");

  // Scrolled back to the oldest state, the view stays there.
  session.pressWhenStill("End");
  const std::string oldest = "LAST LINE : " + barDate(0) + " 00:00(";
  ASSERT_TRUE(session.showsWithin(oldest, 5s)) << session.screen();
  const std::string atOldest = session.lineStartingWith("LAST LINE : ");
  ASSERT_TRUE(twoMorePublishes());
  EXPECT_EQ(session.lineStartingWith("LAST LINE : "), atOldest);
  // HOME: back at the newest state, which has moved on meanwhile.
  const std::string beforeHome = followed;
  session.pressWhenStill("Home");
  ASSERT_TRUE(waitUntil([&] { return newest() > beforeHome; }, 5s)) << session.screen();

  // A again: off, and the chart stays.
  session.pressWhenStill("a");
  ASSERT_TRUE(
      waitUntil([&] { return session.paneFormat("#{pane_title}") == "TavelundP&F FREE"; }, 5s));
  session.waitStill();
  const std::string stopped = newest();
  ASSERT_TRUE(twoMorePublishes());
  EXPECT_EQ(newest(), stopped);

  EXPECT_EQ(feedLog().find("stopped"), std::string::npos) << "the viewer asked:\n" << feedLog();
  EXPECT_EQ(::kill(feedPid_, 0), 0) << "the feed is still running";
  session.pressWhenStill("q");
  ASSERT_TRUE(ended(5s));
  EXPECT_EQ(exitCode(), "0");
  expectTerminalRestored(session);
}

TEST_F(ViewerEndToEnd, TerminationSignalsRestoreTheTerminal) {
  startFeed();
  for (const int signal : {SIGTERM, SIGINT}) {
    fs::remove(folder_ / "rc");
    TerminalSession session(runCommand());
    ASSERT_TRUE(session.showsWithin("LAST LINE : ", 15s)) << session.screen();
    const pid_t viewer = std::stoi(fileText(folder_ / "viewer.pid"));
    if (signal == SIGINT) {
      session.sendKeys("C-c");  // through the terminal, as a user would
    } else {
      ASSERT_EQ(::kill(viewer, signal), 0);
    }
    ASSERT_TRUE(ended(5s)) << session.screen();
    EXPECT_EQ(exitCode(), std::to_string(128 + signal));
    expectTerminalRestored(session);
  }
}

TEST_F(ViewerEndToEnd, SuspendGivesTheTerminalBackAndContinuingRedraws) {
  startFeed();
  // An interactive shell with job control, as a user has.
  TerminalSession session("bash --norc --noprofile -i");
  ASSERT_TRUE(waitUntil([&] { return !session.screen().empty(); }, 10s));
  session.sendKeys(testing::shellQuote("cd " + testing::shellQuote(folder_.string()) +
                                       " && stty -g > stty.before && ./ConsoleTavelundPF") +
                   " Enter");
  ASSERT_TRUE(session.showsWithin("LAST LINE : ", 15s)) << session.screen();
  session.waitStill();
  session.sendKeys("C-z");
  ASSERT_TRUE(session.showsWithin("Stopped", 5s)) << session.screen();
  session.sendKeys("'stty -g > stty.stopped' Enter");
  ASSERT_TRUE(waitUntil([&] { return !fileText(folder_ / "stty.stopped").empty(); }, 5s));
  EXPECT_EQ(fileText(folder_ / "stty.stopped"), fileText(folder_ / "stty.before"));
  EXPECT_EQ(session.screen().find("UPDATE >> "), std::string::npos) << session.screen();

  session.sendKeys("fg Enter");
  ASSERT_TRUE(session.showsWithin("UPDATE >> ", 5s)) << session.screen();
  session.pressWhenStill("End");
  ASSERT_TRUE(session.showsWithin("LAST LINE : " + barDate(0) + " 00:00(", 5s)) << session.screen();
  session.pressWhenStill("q");
  ASSERT_TRUE(
      waitUntil([&] { return session.screen().find("UPDATE >> ") == std::string::npos; }, 5s))
      << session.screen();
  // $? of fg is the viewer's exit code.
  session.sendKeys("'echo $? > rc.part && mv rc.part rc' Enter");
  ASSERT_TRUE(ended(5s));
  EXPECT_EQ(exitCode(), "0");
}

}  // namespace
}  // namespace tavelund::testing
