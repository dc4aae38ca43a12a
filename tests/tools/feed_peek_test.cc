// tickwell-feed and tickwell-peek as separate processes, with this test in
// the viewer's place.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/tickwell.h"
#include "tests/support/channels.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/wait.h"

namespace tavelund::testing {
namespace {

using namespace std::chrono_literals;
constexpr std::chrono::milliseconds kTimeout{30000};

bool anyChannel() { return anyChannelExists(checkSendticksMT5); }

// The Windows runtime writes CR LF line ends.
std::string fileText(const std::string& path) { return fileTextWithoutCr(path); }

size_t lineCount(const std::string& text) {
  size_t count = 0;
  for (char c : text) count += c == '\n';
  return count;
}

std::string tool(const char* name) { return ownProgramFolder() + programFile(name); }
std::string output(const char* name) { return ownProgramFolder() + name; }
std::string dataFile(const char* name) { return std::string(TAVELUND_TEST_DATA_DIR) + name; }

class FeedAndPeek : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(waitFor([] { return !anyChannel(); }, kTimeout));
  }
  void TearDown() override { deinitSendticksMT5(); }

  void setFlag(int value) { setsendcheckMT5(&value); }
};

TEST_F(FeedAndPeek, FeedAnswersRequestsAndPeekShowsWhatIsPublished) {
  ChildProcess peekAlone(tool("tickwell-peek"), {}, output("peek-alone.txt"));
  EXPECT_EQ(peekAlone.waitExit(kTimeout), 1);
  EXPECT_NE(fileText(output("peek-alone.txt")).find("nothing is published: no channel exists"),
            std::string::npos);
  EXPECT_FALSE(anyChannel()) << "peek must not create the channels";

  ChildProcess feed(tool("tickwell-feed"),
                    {"--symbol", "TEST", "--timeframe", "H1", "--first", "10", "--add", "3",
                     "--requests", "2", "--poll", "5", dataFile("bars-daily.csv")},
                    output("feed.txt"));
  ASSERT_TRUE(waitFor([] { return anyChannel(); }, kTimeout));
  initSendticksMT5();
  ASSERT_TRUE(waitFor([] { return getSendCheckMT5() == 1; }, kTimeout));
  EXPECT_STREQ(getsymbolcMT5(), "TEST");
  EXPECT_EQ(gettimespanMT5(), 16385);
  EXPECT_EQ(std::string(getsendtimeMT5()).size(), 23u);
  std::string lines = ReadLinesMT5();
  EXPECT_EQ(lineCount(lines), 10u);
  EXPECT_EQ(lines.substr(0, lines.find('\n')),
            "2021/01/04 00:00:00.000,100.00000,100.75000,99.50000,100.00000");

  ChildProcess peek(tool("tickwell-peek"), {"--wait", "10"}, output("peek.txt"));
  EXPECT_EQ(peek.waitExit(kTimeout), 0);
  const std::string shown = fileText(output("peek.txt"));
  EXPECT_NE(shown.find("SYMBOL      : TEST\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("TIME SPAN   : H1 (16385)\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("SEND FLAG   : 1\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("LINES       : 10\n"), std::string::npos) << shown;
  EXPECT_NE(
      shown.find("FIRST LINE  : 2021/01/04 00:00:00.000,100.00000,100.75000,99.50000,100.00000\n"),
      std::string::npos)
      << shown;
  EXPECT_NE(shown.find("LAST LINE   : 2021/01/15 00:00:00.000,"), std::string::npos) << shown;

  // A second producer is refused while the channels are in use.
  ChildProcess second(tool("tickwell-feed"), {dataFile("bars-daily.csv")},
                      output("feed-second.txt"));
  EXPECT_EQ(second.waitExit(kTimeout), 3);

  setFlag(0);
  ASSERT_TRUE(waitFor([] { return getSendCheckMT5() == 1; }, kTimeout));
  EXPECT_EQ(lineCount(ReadLinesMT5()), 13u);
  setFlag(0);
  ASSERT_TRUE(waitFor([] { return getSendCheckMT5() == 1; }, kTimeout));
  lines = ReadLinesMT5();
  EXPECT_EQ(lineCount(lines), 16u);
  EXPECT_EQ(lines.substr(lines.rfind('\n', lines.size() - 2) + 1, 23), "2021/01/25 00:00:00.000");

  // After its two answers the feed leaves and releases its channels.
  EXPECT_EQ(feed.waitExit(kTimeout), 0);
  EXPECT_NE(fileText(output("feed.txt")).find("tickwell-feed: stopped"), std::string::npos);
  deinitSendticksMT5();
  EXPECT_FALSE(anyChannel());
}

TEST_F(FeedAndPeek, BadFileEndsTheFeedBeforeAnyChannelIsMade) {
  ChildProcess feed(tool("tickwell-feed"), {dataFile("no-such-file.csv")}, output("feed-bad.txt"));
  EXPECT_EQ(feed.waitExit(kTimeout), 1);
  ChildProcess usage(tool("tickwell-feed"), {"--first", "x", dataFile("bars-daily.csv")},
                     output("feed-bad.txt"));
  EXPECT_EQ(usage.waitExit(kTimeout), 2);
  EXPECT_FALSE(anyChannel());
}

TEST_F(FeedAndPeek, OutOfRangeTimesAreRefusedAndTheHelpListsFormsAndTimeFrames) {
  const std::string csv = dataFile("bars-daily.csv");
  const std::vector<std::vector<std::string>> refused = {
      {"--poll", "0", csv},
      {"--poll", "60001", csv},
      {"--poll", "99999999999999999999", csv},
      {"--interval", "86400001", csv},
      {"--interval", "9223372036854775807", csv},
      {"--interval", "-1", csv},
      {"--timeframe", "D7", csv},
  };
  for (const auto& arguments : refused) {
    ChildProcess feed(tool("tickwell-feed"), arguments, output("feed-range.txt"));
    EXPECT_EQ(feed.waitExit(kTimeout), 2) << arguments[0] << " " << arguments[1];
  }
  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"--wait", "86401"}, {"--wait", "-1"}, {"--watch", "86400001"}, {"--watch", "1e9"}}) {
    ChildProcess peek(tool("tickwell-peek"), arguments, output("peek-range.txt"));
    EXPECT_EQ(peek.waitExit(kTimeout), 2) << arguments[0] << " " << arguments[1];
  }
  EXPECT_FALSE(anyChannel());

  ChildProcess help(tool("tickwell-feed"), {"--help"}, output("feed-help.txt"));
  EXPECT_EQ(help.waitExit(kTimeout), 0);
  const std::string text = fileText(output("feed-help.txt"));
  for (const char* part :
       {"  date,open,high,low,close  ", "  date,open,high,low,close,adjclose,volume  ",
        "<DATE> <TIME> <OPEN> <HIGH> <LOW> <CLOSE>",
        "first open, highest high, lowest low, last close", "  code   label     code   label\n",
        "  1      M1        16386  H2\n", "  10     M10       16408  D1\n", "  30     M30\n"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
}

// What the viewer would draw backwards: peek names the first line that goes
// back in time; a batch oldest first gets no such line.
TEST_F(FeedAndPeek, PeekSaysWhereTheLinesStopBeingOldestFirst) {
  struct Case {
    std::vector<int> days;  // of January 2024, in publishing order
    std::string said;       // the line peek adds, empty for none
  };
  const Case cases[] = {
      {{1, 2, 2, 3}, ""},
      {{3, 2, 1},
       "TIME ORDER  : not oldest first: line 2 is older than the line before it: "
       "2024/01/02 00:00:00.000,1.00000,1.00000,1.00000,1.00000\n"},
      {{1, 3, 4, 2, 5},
       "TIME ORDER  : not oldest first: line 4 is older than the line before it: "
       "2024/01/02 00:00:00.000,1.00000,1.00000,1.00000,1.00000\n"},
  };
  ASSERT_TRUE(initSendticksMT5());
  for (const Case& c : cases) {
    for (const int day : c.days) lineSendTimeLineMT5(2024, 1, day, 0, 0, 0, 0, 1, 1, 1, 1);
    completeSendticksMT5();
    ChildProcess peek(tool("tickwell-peek"), {}, output("peek-order.txt"));
    EXPECT_EQ(peek.waitExit(kTimeout), 0);
    const std::string shown = fileText(output("peek-order.txt"));
    const size_t at = shown.find("TIME ORDER  : ");
    EXPECT_EQ(at == std::string::npos ? "" : shown.substr(at), c.said) << shown;
  }
  deinitSendticksMT5();
}

TEST_F(FeedAndPeek, LiveModeKeepsChangingTheNewestBar) {
  ChildProcess feed(
      tool("tickwell-feed"),
      {"--first", "5", "--live", "4", "--requests", "3", "--poll", "5", dataFile("bars-daily.csv")},
      output("feed-live.txt"));
  ASSERT_TRUE(waitFor([] { return anyChannel(); }, kTimeout));
  initSendticksMT5();
  ASSERT_TRUE(waitFor([] { return getSendCheckMT5() == 1; }, kTimeout));
  std::string previous = ReadLinesMT5();
  for (int request = 0; request < 3; ++request) {
    setFlag(0);
    ASSERT_TRUE(waitFor([] { return getSendCheckMT5() == 1; }, kTimeout));
    const std::string lines = ReadLinesMT5();
    EXPECT_EQ(lineCount(lines), 5u);
    const size_t lastStart = lines.rfind('\n', lines.size() - 2) + 1;
    // Same bar, same older bars, a different state of the newest one.
    EXPECT_EQ(lines.substr(0, lastStart), previous.substr(0, lastStart));
    EXPECT_EQ(lines.substr(lastStart, 23), previous.substr(lastStart, 23));
    EXPECT_NE(lines.substr(lastStart), previous.substr(lastStart));
    previous = lines;
  }
  EXPECT_EQ(feed.waitExit(kTimeout), 0);
}

TEST_F(FeedAndPeek, RealDataSet) {
  const std::string csv = TAVELUND_DATA_CSV;
  if (csv.empty() || !std::ifstream(csv)) {
    GTEST_SKIP() << "the S&P 500 data set is not installed (TAVELUND_DATA_CSV='" << csv
                 << "'); run ./dev setup";
  }
  ChildProcess feed(tool("tickwell-feed"),
                    {"--first", "300", "--requests", "1", "--poll", "5", csv},
                    output("feed-real.txt"));
  ASSERT_TRUE(waitFor([] { return anyChannel(); }, kTimeout));
  initSendticksMT5();
  ASSERT_TRUE(waitFor([] { return getSendCheckMT5() == 1; }, kTimeout));
  EXPECT_STREQ(getsymbolcMT5(), "SP500");
  EXPECT_EQ(gettimespanMT5(), 16408);
  const std::string lines = ReadLinesMT5();
  EXPECT_EQ(lineCount(lines), 300u);
  EXPECT_EQ(lines.substr(0, lines.find('\n')),
            "2000/01/03 00:00:00.000,1469.25000,1478.00000,1438.35999,1455.21997");
  ChildProcess peek(tool("tickwell-peek"), {}, output("peek-real.txt"));
  EXPECT_EQ(peek.waitExit(kTimeout), 0);
  EXPECT_NE(fileText(output("peek-real.txt")).find("LINES       : 300\n"), std::string::npos);
  setFlag(0);
  EXPECT_EQ(feed.waitExit(kTimeout), 0);
}

}  // namespace
}  // namespace tavelund::testing
