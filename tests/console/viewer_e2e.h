#pragma once
// The native viewer for real, as the end-to-end tests run it: a copy of the
// program and the link library in a folder of the test's own, started by a
// script in a tmux pane that records the terminal settings and the exit
// code, against tickwell-feed playing the MT5 side through the real
// shared-memory channels.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/terminal_session.h"
#include "tests/support/viewer_folder.h"

extern char** environ;

namespace tavelund::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kBars = 330;
constexpr int kFirstBatch = 300;
constexpr int kPerRequest = 5;

// Starts a program (args[0], a path) with standard output and error going to
// `log`; -1 when it could not be started.
inline pid_t spawnLogged(std::vector<std::string> args, const fs::path& log) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// SIGTERM, then SIGKILL if it has not ended within 5 s; `pid` becomes -1.
inline void stopProcess(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  int status = 0;
  if (!waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 5s)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  pid = -1;
}

class ViewerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::viewerFolder("viewer_e2e_",
                                    ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                                    TAVELUND_BIN_DIR);
    testing::writeWaveBars(folder_ / "bars.csv", kBars);

    std::ofstream script(folder_ / "run.sh");
    script << "cd " << testing::shellQuote(folder_.string()) << "\n"
           << "trap '' INT  # Ctrl+C is for the viewer; the script goes on\n"
           << "stty -g > stty.before\n"
           << "printf 'before-marker\\n'\n"
           << "sh -c 'echo $$ > viewer.pid; exec ./ConsoleTavelundPF \"$@\"' viewer \"$@\"\n"
           // The settings are read before the exit code shows up, so a test
           // that sees the code finds them complete.
           << "echo $? > rc.part\n"
           << "stty -g > stty.after.part; mv stty.after.part stty.after; mv rc.part rc\n"
           << "printf 'after-marker\\n'\n"
           << "exec sleep 600\n";
  }

  void TearDown() override {
    stopFeed();
    fs::remove_all(folder_);
  }

  // The feed on the test's bars: kFirstBatch first, kPerRequest more for
  // every request; `extra` options after those.
  void startFeed(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {std::string(TAVELUND_BIN_DIR) + "/tickwell-feed", "--first",
                                     std::to_string(kFirstBatch), "--add",
                                     std::to_string(kPerRequest)};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back((folder_ / "bars.csv").string());
    feedPid_ = spawnLogged(args, folder_ / "feed.log");
    ASSERT_GT(feedPid_, 0);
    ASSERT_TRUE(waitUntil([&] { return feedLog().find("published") != std::string::npos; }, 10s))
        << feedLog();
  }
  std::string feedLog() const { return fileText(folder_ / "feed.log"); }
  void stopFeed() { stopProcess(feedPid_); }

  std::string runCommand(const std::string& options = "") const {
    return "sh " + testing::shellQuote((folder_ / "run.sh").string()) + " " + options;
  }

  bool ended(std::chrono::milliseconds limit) const {
    return waitUntil([&] { return fs::exists(folder_ / "rc"); }, limit);
  }
  std::string exitCode() const {
    std::string code = fileText(folder_ / "rc");
    while (!code.empty() && code.back() == '\n') code.pop_back();
    return code;
  }
  // The terminal is as it was: same line settings, the viewer's screen gone.
  void expectTerminalRestored(const TerminalSession& session) const {
    ASSERT_TRUE(session.showsWithin("after-marker", 5s)) << session.screen();
    EXPECT_EQ(fileText(folder_ / "stty.after"), fileText(folder_ / "stty.before"));
    const std::string screen = session.screen();
    EXPECT_NE(screen.find("before-marker"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("UPDATE >> "), std::string::npos) << screen;
  }

  fs::path folder_;
  pid_t feedPid_ = -1;
};

}  // namespace tavelund::testing
