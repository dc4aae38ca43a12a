// The native viewer in a tmux pane, fed by TickwellPublisher.mq5 running in
// the stand-in terminal: the chart it draws is the one the program
// published, U brings the bar that opened since, and once both have ended
// no channel is left.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/tickwell.h"
#include "tests/support/channels.h"
#include "tests/support/child_process.h"
#include "tests/support/terminal_session.h"
#include "tests/support/viewer_folder.h"

namespace tavelund {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::barDate;
using testing::fileText;
using testing::TerminalSession;
using testing::waitUntil;

constexpr int kBars = 330;
constexpr int kOpened = 300;

bool anyChannel() { return testing::anyChannelExists(checkSendticksMT5); }

class PublisherAndViewer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(waitUntil([] { return !anyChannel(); }, 30s)) << "the channels are in use";
    folder_ = testing::viewerFolder("mt5_viewer_e2e_", "publisher", TAVELUND_BIN_DIR);
    testing::writeWaveBars(folder_ / "bars.csv", kBars, {.level = 1900});
    std::ofstream(folder_ / "control.txt");
    std::ofstream(folder_ / "run.sh") << "cd " << testing::shellQuote(folder_.string()) << "\n"
                                      << "./ConsoleTavelundPF\n"
                                      << "echo $? > rc.part; mv rc.part rc\n"
                                      << "exec sleep 600\n";
  }

  void TearDown() override {
    terminal_.reset();  // kills a stand-in that still runs
    fs::remove_all(folder_);
  }

  void startTerminal() {
    terminal_ = std::make_unique<testing::ChildProcess>(
        std::string(TAVELUND_BIN_DIR) + "/mt5-standin",
        std::vector<std::string>{
            "--symbol", "XAUUSD", "--period", "16408", "--opened", std::to_string(kOpened),
            "--control", (folder_ / "control.txt").string(), (folder_ / "bars.csv").string()},
        (folder_ / "terminal.log").string());
    ASSERT_TRUE(terminal_->started());
  }
  std::string terminalLog() const { return fileText(folder_ / "terminal.log"); }
  bool terminalLogShows(const std::string& text) const {
    return waitUntil([&] { return terminalLog().find(text) != std::string::npos; }, 15s);
  }
  void command(const std::string& text) const {
    std::ofstream(folder_ / "control.txt", std::ios::app) << text << '\n';
  }
  // The stand-in's exit code, or -1 when it does not end in time.
  int terminalExit() { return terminal_->waitExit(15s).value_or(-1); }

  fs::path folder_;
  std::unique_ptr<testing::ChildProcess> terminal_;
};

TEST_F(PublisherAndViewer, TheViewerDrawsWhatTheProgramPublishesAndUBringsTheNewBar) {
  startTerminal();
  ASSERT_TRUE(terminalLogShows("TickwellPublisher: published 300 bars")) << terminalLog();

  TerminalSession session("sh " + testing::shellQuote((folder_ / "run.sh").string()));
  ASSERT_TRUE(session.showsWithin("=> " + barDate(kOpened - 1) + " 00:00(", 20s))
      << session.screen();
  EXPECT_NE(session.lineStartingWith("UPDATE >> ").find("    XAUUSD (D1)"), std::string::npos)
      << session.screen();
  EXPECT_TRUE(session.showsWithin("(Now)", 5s)) << session.screen();

  command("bar");
  ASSERT_TRUE(terminalLogShows("[terminal] bar 301 of 330 opened")) << terminalLog();
  session.pressWhenStill("u");
  ASSERT_TRUE(session.showsWithin("=> " + barDate(kOpened) + " 00:00(", 20s)) << session.screen();
  EXPECT_NE(terminalLog().find("published 301 bars, newest " + barDate(kOpened, '.') + " 00:00"),
            std::string::npos)
      << terminalLog();

  session.pressWhenStill("q");
  ASSERT_TRUE(waitUntil([&] { return fs::exists(folder_ / "rc"); }, 10s)) << session.screen();
  EXPECT_EQ(fileText(folder_ / "rc"), "0\n");

  command("quit");
  EXPECT_EQ(terminalExit(), 0) << terminalLog();
  EXPECT_NE(terminalLog().find("stopped (reason 1), channels released"), std::string::npos);
  EXPECT_FALSE(anyChannel());
}

}  // namespace
}  // namespace tavelund
