// The ANSI terminal layer and the program's start against a real
// pseudo-terminal: every byte the viewer writes is seen here.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "console/terminal.h"
#include "tests/support/wait.h"

namespace tavelund {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct PtyRun {
  std::string output;         // what the child wrote to its terminal
  int status = -1;            // as waitpid reports it
  bool sameSettings = false;  // the terminal's settings afterwards are those from before
};

// Reads what is there on `fd` within `limit`.
void drain(int fd, std::string& into, std::chrono::milliseconds limit) {
  pollfd ready{fd, POLLIN, 0};
  while (::poll(&ready, 1, static_cast<int>(limit.count())) > 0) {
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) return;
    into.append(buffer, static_cast<size_t>(got));
  }
}

// Runs `child` in a new process whose standard streams are the slave side
// of a fresh pseudo-terminal; `child` must end the process itself.
PtyRun runInTerminal(const std::function<void()>& child) {
  PtyRun run;
  int master = -1;
  int slave = -1;
  winsize size{};
  size.ws_col = 100;
  size.ws_row = 30;
  if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) return run;
  termios before{};
  ::tcgetattr(slave, &before);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(master);
    ::setsid();
    ::ioctl(slave, TIOCSCTTY, 0);
    for (int fd = 0; fd < 3; ++fd) ::dup2(slave, fd);
    if (slave > 2) ::close(slave);
    child();
    std::_Exit(99);
  }
  testing::waitFor(
      [&] {
        drain(master, run.output, 10ms);
        return ::waitpid(pid, &run.status, WNOHANG) == pid;
      },
      30s);
  drain(master, run.output, 50ms);
  termios after{};
  ::tcgetattr(slave, &after);
  run.sameSettings = std::memcmp(&before, &after, sizeof before) == 0;
  ::close(slave);
  ::close(master);
  return run;
}

// Runs the real program with `args` from a folder of its own, without the
// link library beside it (a run that binds the library would say so).
PtyRun runViewer(const std::vector<std::string>& args) {
  const fs::path folder = fs::temp_directory_path() / ("viewer_pty_" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::copy_file(fs::path(TAVELUND_BIN_DIR) / "ConsoleTavelundPF", folder / "ConsoleTavelundPF");
  const std::string program = (folder / "ConsoleTavelundPF").string();
  PtyRun run = runInTerminal([&] {
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::setenv("LD_LIBRARY_PATH", TAVELUND_BIN_DIR, 1);  // for the loader only
    ::execv(program.c_str(), argv.data());
  });
  fs::remove_all(folder);
  return run;
}

TEST(TerminalPty, ModeOptionEndsWithZeroAndWritesNothingAtAll) {
  const PtyRun run = runViewer({"-m", "x"});
  ASSERT_TRUE(WIFEXITED(run.status)) << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0);
  EXPECT_EQ(run.output, "") << "no title, no cursor, no text";
  EXPECT_TRUE(run.sameSettings);
  // The same folder without -m binds the library, which is not there: the
  // 0 above came from -m, before the library.
  const PtyRun bound = runViewer({});
  ASSERT_TRUE(WIFEXITED(bound.status));
  EXPECT_EQ(WEXITSTATUS(bound.status), 1);
  EXPECT_NE(bound.output.find("Could not load the dynamic library : "), std::string::npos);
}

TEST(TerminalPty, ModeOptionAfterABadNumberReportsTheNumber) {
  const PtyRun run = runViewer({"-m", "x", "-b", "abc"});
  ASSERT_TRUE(WIFEXITED(run.status));
  EXPECT_EQ(WEXITSTATUS(run.status), 255);
  EXPECT_NE(run.output.find("Error: Invalid argument - invalid stoi argument"), std::string::npos)
      << run.output;
}

TEST(TerminalPty, LayoutTakesTheScreenAndTheEndGivesItBack) {
  const PtyRun run = runInTerminal([] {
    initConsole();
    setConsoleTitle("a title");
    resetScreen();
    std::printf("drawn\n");
    std::exit(0);
  });
  ASSERT_TRUE(WIFEXITED(run.status));
  EXPECT_EQ(WEXITSTATUS(run.status), 0);
  const std::string& out = run.output;
  const size_t enter = out.find("\x1b[?1049h");
  const size_t title = out.find("\x1b]0;a title\x07");
  const size_t drawn = out.find("drawn");
  const size_t leave = out.find("\x1b[?1049l");
  ASSERT_NE(enter, std::string::npos) << out;
  EXPECT_NE(title, std::string::npos) << out;
  EXPECT_NE(out.find("\x1b[?25l"), std::string::npos) << "cursor hidden";
  EXPECT_LT(drawn, leave);
  EXPECT_NE(out.find("\x1b[?25h", leave), std::string::npos) << "cursor shown at the end";
  EXPECT_TRUE(run.sameSettings);
}

// A layout that cannot read the window size ends the run with 1; its
// message comes after the terminal is given back, so it stays readable.
TEST(TerminalPty, ALayoutFailureGivesTheScreenBackBeforeItsMessage) {
  int messages[2];
  ASSERT_EQ(::pipe(messages), 0);
  const PtyRun run = runInTerminal([&] {
    initConsole();
    resetScreen();
    // From here on standard output and error are no terminal: the next
    // layout cannot read the window size. Both go to one pipe, in order.
    ::dup2(messages[1], 1);
    ::dup2(messages[1], 2);
    resetScreen();
  });
  ::close(messages[1]);
  std::string after;
  drain(messages[0], after, 1000ms);
  ::close(messages[0]);
  ASSERT_TRUE(WIFEXITED(run.status));
  EXPECT_EQ(WEXITSTATUS(run.status), 1);
  const size_t leave = after.find("\x1b[?1049l");
  const size_t message =
      after.find("Error getting console screen buffer info.: SetConsoleTextAttribute\n");
  ASSERT_NE(message, std::string::npos) << after;
  ASSERT_NE(leave, std::string::npos) << after;
  EXPECT_LT(leave, message);
  EXPECT_TRUE(run.sameSettings);
}

}  // namespace
}  // namespace tavelund
