// Ctrl-C or a termination request ends the feed cleanly: it deinits, so its
// channels are gone as soon as it has exited.
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "link/tickwell.h"
#include "tests/support/channels.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/wait.h"

namespace tavelund::testing {
namespace {

bool anyChannel() { return anyChannelExists(checkSendticksMT5); }

TEST(FeedSignals, TerminationAndInterruptEndTheFeedCleanly) {
  for (int signal : {SIGTERM, SIGINT}) {
    ASSERT_TRUE(waitFor([] { return !anyChannel(); }, std::chrono::seconds(30)));
    ChildProcess feed(ownProgramFolder() + "tickwell-feed",
                      {"--poll", "5", std::string(TAVELUND_TEST_DATA_DIR) + "bars-daily.csv"},
                      ownProgramFolder() + "feed-signal.txt");
    ASSERT_TRUE(waitFor([] { return anyChannel(); }, std::chrono::seconds(30)));
    ::kill(static_cast<pid_t>(feed.id()), signal);
    EXPECT_EQ(feed.waitExit(std::chrono::seconds(30)), 0) << signal;
    EXPECT_FALSE(anyChannel()) << signal;
  }
}

// A line of /proc/<pid>/<file>: the first one, or the one that starts with
// `key`.
std::string procLine(long long pid, const char* file, const std::string& key = {}) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, key.size(), key) == 0) return line;
  }
  return {};
}

// The process catches SIGTERM (its stop handler is in place) and sleeps in
// an open: the FIFO's, which waits for a writer.
bool waitsInOpenWithItsHandler(long long pid) {
  std::istringstream caught(procLine(pid, "status", "SigCgt:").substr(7));
  unsigned long long mask = 0;
  caught >> std::hex >> mask;
  const bool handled = (mask >> (SIGTERM - 1)) & 1;
  const std::string call = procLine(pid, "syscall");
  return handled && call.compare(0, call.find(' '), std::to_string(SYS_openat)) == 0;
}

TEST(FeedSignals, AStopWhileAFifoWaitsForItsWriterEndsTheFeedCleanly) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("feed_fifo_" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string fifo = (folder / "bars.csv").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string output = ownProgramFolder() + "feed-fifo.txt";
  for (int signal : {SIGTERM, SIGINT}) {
    ChildProcess feed("/bin/sh",
                      {"-c", "exec \"$0\" \"$1\" 2>&1", ownProgramFolder() + "tickwell-feed", fifo},
                      output);
    ASSERT_TRUE(
        waitFor([&] { return waitsInOpenWithItsHandler(feed.id()); }, std::chrono::seconds(30)));
    ::kill(static_cast<pid_t>(feed.id()), signal);
    // Well before the forced end of a stuck stop (3 s, exit code 1).
    EXPECT_EQ(feed.waitExit(std::chrono::seconds(2)), 0) << signal;
    EXPECT_EQ(fileText(output), "tickwell-feed: stopped\n") << signal;
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tavelund::testing
