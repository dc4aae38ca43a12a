// Attacks on the viewer in a real terminal (tmux): a producer that sends
// escape bytes, a peer that keeps a channel locked, and crashes.
#include <csignal>
#include <sstream>
#include <string>
#include <vector>

#include "tests/console/viewer_e2e.h"
#include "tests/support/hostile_objects.h"

namespace tavelund::testing {
namespace {

std::string binFile(const std::string& name) { return std::string(TAVELUND_BIN_DIR) + "/" + name; }

class ViewerUnderAttack : public ViewerEndToEnd {
 protected:
  void TearDown() override {
    stopProcess(peerPid_);
    ViewerEndToEnd::TearDown();
  }

  // Starts link_peer in `role`; waits until it says `ready`.
  void startPeer(const std::vector<std::string>& role, const std::string& ready) {
    std::vector<std::string> args = {binFile("link_peer")};
    args.insert(args.end(), role.begin(), role.end());
    peerPid_ = spawnLogged(args, folder_ / "peer.log");
    ASSERT_GT(peerPid_, 0);
    ASSERT_TRUE(waitUntil(
        [&] { return fileText(folder_ / "peer.log").find(ready) != std::string::npos; }, 10s))
        << fileText(folder_ / "peer.log");
  }

  // The viewer's own screen is gone and the terminal is as it was.
  void expectTerminalGivenBack(const TerminalSession& session) const {
    expectTerminalRestored(session);
    EXPECT_EQ(session.paneFormat("#{alternate_on}"), "0");
    EXPECT_EQ(session.paneFormat("#{cursor_flag}"), "1");
  }

  pid_t peerPid_ = -1;
};

// The symbol retitles the window with an OSC; the send time leaves the
// alternate screen. Both reach the screen only with '?' for each control.
TEST_F(ViewerUnderAttack, EscapeBytesFromTheLinkDoNotReachTheTerminal) {
  startPeer({"publish",
             "\x1b]0;OWNED\x07"
             "EVIL",
             "2024/01/02\x1b[?1049l 03:04:05.006"},
            "published");
  TerminalSession session(runCommand());
  ASSERT_TRUE(session.showsWithin("LAST LINE : ", 15s)) << session.screen();
  EXPECT_EQ(session.lineStartingWith("UPDATE >> "),
            "UPDATE >> 2024/01/02?[?1049l 03:04:05.006    ?]0;OWNED?EVIL (D1)");
  EXPECT_EQ(session.paneFormat("#{alternate_on}"), "1") << "the chart keeps its screen";
  EXPECT_EQ(session.paneFormat("#{pane_title}"), "TavelundP&F FREE");

  session.pressWhenStill("l");
  ASSERT_TRUE(session.showsWithin("SYMBOL      : ?]0;OWNED?EVIL", 5s)) << session.screen();
  EXPECT_EQ(session.paneFormat("#{alternate_on}"), "1");

  // The save names its file after the symbol, with the controls as '_'.
  session.pressWhenStill("s");
  ASSERT_TRUE(session.showsWithin("    Done... ", 15s)) << session.screen();
  EXPECT_NE(session.screen().find("BEFORE : 2024/01/02?[?1049l 03:04:05.006"), std::string::npos);
  std::vector<std::string> saved;
  for (const auto& entry : fs::directory_iterator(folder_ / "CSV")) {
    saved.push_back(entry.path().filename().string());
  }
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].rfind("_]0;OWNED_EVIL_", 0), 0u) << saved[0];
  EXPECT_EQ(session.paneFormat("#{pane_title}"), "TavelundP&F FREE");

  session.pressWhenStill("q");
  ASSERT_TRUE(ended(5s)) << session.screen();
  EXPECT_EQ(exitCode(), "0");
  expectTerminalGivenBack(session);
}

// Every line of the screen, as tmux joins a line that wrapped.
std::vector<std::string> screenLines(const TerminalSession& session) {
  std::vector<std::string> lines;
  std::istringstream text(session.screen());
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// The longest texts the channels carry (1,023 bytes each): the header stays
// one row above the last line and the chart, cut where the texts are, and
// no other screen of the viewer wraps a line because of them either.
TEST_F(ViewerUnderAttack, TheLongestTextsFromTheLinkKeepEveryLineOnItsRow) {
  std::string symbol;
  while (symbol.size() < 1023) symbol += "LONGSYMBOL";
  symbol.resize(1023);
  const std::string sendTime = "2024/01/02 03:04:05.006" + std::string(1000, ':');
  startPeer({"publish", symbol, sendTime}, "published");
  TerminalSession session(runCommand());
  ASSERT_TRUE(session.showsWithin("LAST LINE : ", 15s)) << session.screen();
  session.waitStill();
  const auto isWithinThePane = [](const std::string& line) { return line.size() <= 120; };
  std::vector<std::string> lines = screenLines(session);
  ASSERT_GE(lines.size(), 4u) << session.screen();
  EXPECT_EQ(lines[0].rfind("UPDATE >> 2024/01/02 03:04:05.006:", 0), 0u) << lines[0];
  EXPECT_TRUE(isWithinThePane(lines[0])) << lines[0].size() << " columns: " << lines[0];
  EXPECT_NE(lines[0].find("~"), std::string::npos) << "a cut text is marked: " << lines[0];
  EXPECT_NE(lines[0].find("    LONGSYMBOL"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[0].substr(lines[0].size() - 5), " (D1)") << "the fixed parts stay";
  EXPECT_EQ(lines[1].rfind("LAST LINE : 2024/0", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2], std::string(96, '-'));
  EXPECT_EQ(lines[3].rfind("..", 0), 0u) << "the chart's top row: " << lines[3];

  for (const char* key : {"l", "s"}) {
    session.pressWhenStill(key);
    ASSERT_TRUE(
        session.showsWithin(*key == 'l' ? "SYMBOL      : LONGSYMBOL" : "Can Not Save : ", 15s))
        << session.screen();
    session.waitStill();
    for (const std::string& line : screenLines(session)) {
      EXPECT_TRUE(isWithinThePane(line)) << key << ": " << line.size() << " columns: " << line;
    }
  }
  session.pressWhenStill("q");
  ASSERT_TRUE(ended(5s)) << session.screen();
  EXPECT_EQ(exitCode(), "0");
}

// The producer stops answering while S waits for it: Q ends the run at
// once and the save is given up, leaving no file behind.
TEST_F(ViewerUnderAttack, QDuringASaveThatWaitsForASilentProducerEndsAtOnceAndSavesNothing) {
  startPeer({"mute", "EURUSD", "2024/01/02 03:04:05.006"}, "published");
  TerminalSession session(runCommand());
  ASSERT_TRUE(session.showsWithin("LAST LINE : ", 15s)) << session.screen();
  session.pressWhenStill("s");
  ASSERT_TRUE(session.showsWithin(" milSecond", 5s)) << session.screen();
  const auto pressed = std::chrono::steady_clock::now();
  session.sendKeys("q");
  ASSERT_TRUE(ended(15s)) << session.screen();
  const auto took = std::chrono::steady_clock::now() - pressed;
  EXPECT_LT(took, 1s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                      << " ms";
  EXPECT_EQ(exitCode(), "0");
  expectTerminalGivenBack(session);
  std::vector<std::string> saved;
  if (fs::is_directory(folder_ / "CSV")) {
    for (const auto& entry : fs::directory_iterator(folder_ / "CSV")) {
      saved.push_back(entry.path().filename().string());
    }
  }
  EXPECT_EQ(saved, std::vector<std::string>{}) << "neither the file nor its temporary file";
}

// A peer takes a channel's mutex and keeps it: the view thread waits for
// it for good. Q still ends the run with 0 and gives the terminal back.
TEST_F(ViewerUnderAttack, QEndsTheRunWhileAPeerKeepsAChannelLocked) {
  startFeed();
  TerminalSession session(runCommand());
  ASSERT_TRUE(session.showsWithin("LAST LINE : ", 15s)) << session.screen();
  startPeer({"hold", "LOW_SENDTIMEShared", "LOW_SENDTIMEmutex", "1024"}, "held");
  // END redraws: the header's send time waits for the held mutex, on a
  // screen the command has just cleared.
  session.pressWhenStill("End");
  ASSERT_TRUE(
      waitUntil([&] { return session.screen().find("LAST LINE : ") == std::string::npos; }, 5s))
      << session.screen();
  // A resize meanwhile: the size watch must not wait for the view thread.
  session.resize(100, 40);
  session.waitStill();
  const auto pressed = std::chrono::steady_clock::now();
  session.sendKeys("q");
  ASSERT_TRUE(ended(15s)) << session.screen();
  const auto took = std::chrono::steady_clock::now() - pressed;
  EXPECT_LT(took, 10s);
  EXPECT_EQ(exitCode(), "0");
  expectTerminalGivenBack(session);
  EXPECT_TRUE(session.showsWithin("a channel of the link stays locked by another process", 2s))
      << session.screen();
}

// A process of this user keeps the attach guard, which the detach at the
// end of the run needs. Q still ends the run with 0 within about two
// seconds of waiting, and what the library says about the wait is on the
// terminal afterwards, not lost with the chart's screen.
TEST_F(ViewerUnderAttack, QEndsTheRunSoonWhileAPeerKeepsTheAttachGuard) {
  startFeed();
  TerminalSession session(runCommand());
  ASSERT_TRUE(session.showsWithin("LAST LINE : ", 15s)) << session.screen();
  HeldGuard guard;
  ASSERT_TRUE(guard.held());
  session.waitStill();
  const auto pressed = std::chrono::steady_clock::now();
  session.sendKeys("q");
  ASSERT_TRUE(ended(15s)) << session.screen();
  const auto took = std::chrono::steady_clock::now() - pressed;
  EXPECT_LT(took, 5s);
  EXPECT_EQ(exitCode(), "0");
  expectTerminalGivenBack(session);
  const std::string guardName = systemObjectName(L"LOW_ATTACHmutex");
  EXPECT_TRUE(session.showsWithin(guardName + ": held by another process; waiting up to 2 s", 2s))
      << session.screen();
  EXPECT_TRUE(session.showsWithin(
      guardName + ": held by another process of this user for 2 s; gave up waiting", 2s))
      << session.screen();
}

// crash_child's name of the crash that ends by `signal`.
std::string crashName(int signal) {
  return signal == SIGBUS ? "BUS" : signal == SIGSEGV ? "SEGV" : signal == SIGABRT ? "ABRT" : "FPE";
}

// crash_child in a terminal of its own, its end awaited: its exit code as
// the shell saw it, and the terminal checked as given back.
struct CrashRun {
  explicit CrashRun(const std::string& name)
      : folder(fs::temp_directory_path() / ("crash_" + std::to_string(::getpid()) + "_" + name)) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "run.sh") << "cd " << shellQuote(folder.string()) << "\n"
                                     << "ulimit -c 0\n"
                                     << "stty -g > stty.before\n"
                                     << "printf 'before-marker\\n'\n"
                                     << shellQuote(binFile("crash_child")) << " " << name << "\n"
                                     << "echo $? > rc.part\n"
                                     << "stty -g > stty.after\n"
                                     << "mv rc.part rc\n"
                                     << "printf 'after-marker\\n'\n"
                                     << "exec sleep 600\n";
    session = std::make_unique<TerminalSession>("sh " + shellQuote((folder / "run.sh").string()));
  }
  ~CrashRun() { fs::remove_all(folder); }

  std::string awaitExitCode() {
    EXPECT_TRUE(waitUntil([&] { return fs::exists(folder / "rc"); }, 20s)) << session->screen();
    EXPECT_TRUE(session->showsWithin("after-marker", 5s)) << session->screen();
    std::string code = fileText(folder / "rc");
    while (!code.empty() && code.back() == '\n') code.pop_back();
    return code;
  }
  void expectTerminalGivenBack() const {
    EXPECT_EQ(fileText(folder / "stty.after"), fileText(folder / "stty.before"));
    EXPECT_EQ(session->paneFormat("#{alternate_on}"), "0");
    EXPECT_EQ(session->paneFormat("#{cursor_flag}"), "1");
    const std::string screen = session->screen();
    EXPECT_NE(screen.find("before-marker"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("CRASH-SCREEN"), std::string::npos) << screen;
  }

  fs::path folder;
  std::unique_ptr<TerminalSession> session;
};

class CrashingProgram : public ::testing::TestWithParam<int> {};

// A crash restores the terminal from the signal handler, then the signal
// ends the process as it would have (the shell sees 128 + the signal).
TEST_P(CrashingProgram, GivesTheTerminalBackAndEndsByItsSignal) {
  const int signal = GetParam();
  CrashRun run(crashName(signal));
  EXPECT_EQ(run.awaitExitCode(), std::to_string(128 + signal));
  run.expectTerminalGivenBack();
}

// A memory request that cannot be met, on any thread: the terminal is given
// back, then the message is written where it stays readable, exit code 1.
TEST(OutOfMemory, GivesTheTerminalBackThenSaysSoAndEndsWithOne) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "SKIPPED: a sanitizer's allocator ends the process itself when memory runs out; "
                  "the native build runs this";
#endif
  CrashRun run("NOMEM");
  EXPECT_EQ(run.awaitExitCode(), "1");
  run.expectTerminalGivenBack();
  EXPECT_TRUE(run.session->showsWithin("crash child: out of memory", 2s)) << run.session->screen();
}

INSTANTIATE_TEST_SUITE_P(Signals, CrashingProgram,
                         ::testing::Values(SIGBUS, SIGSEGV, SIGABRT, SIGFPE),
                         [](const ::testing::TestParamInfo<int>& info) {
                           // "Bus", "Segv", ...
                           std::string name = crashName(info.param);
                           for (size_t i = 1; i < name.size(); ++i) name[i] += 'a' - 'A';
                           return name;
                         });

}  // namespace
}  // namespace tavelund::testing
