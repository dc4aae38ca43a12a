// Ctrl-C or a termination request ends the feed cleanly: it deinits, so its
// channels are gone as soon as it has exited.
#include <csignal>
#include <string>

#include <gtest/gtest.h>

#include "link/tickwell.h"
#include "tests/support/channels.h"
#include "tests/support/child_process.h"
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

}  // namespace
}  // namespace tavelund::testing
