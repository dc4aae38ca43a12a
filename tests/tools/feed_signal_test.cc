// Ctrl-C or a termination request ends the feed cleanly: it deinits, so its
// channels are gone as soon as it has exited.
#include <csignal>
#include <string>

#include <gtest/gtest.h>

#include "link/tickwell.h"
#include "tests/link/child_process.h"

namespace tavelund::testing {
namespace {

bool anyChannel() {
  for (const wchar_t* name : {L"LOW_SENDCHECKShared", L"LOW_SENDTIMEShared", L"LOW_TIMELINEShared",
                              L"LOW_BLANDShared", L"LOW_TIMESPANShared"}) {
    if (checkSendticksMT5(name)) return true;
  }
  return false;
}

bool waitFor(bool (*condition)(), std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

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

}  // namespace
}  // namespace tavelund::testing
