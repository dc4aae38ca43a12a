// tickwell-signals beside tickwell-feed, each a process of its own: a feed
// publishing unasked bars whose last ones complete a Double Top Breakout,
// under a symbol full of shell metacharacters and a control byte.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <csignal>
#endif

#include "link/tickwell.h"
#include "tests/support/channels.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/signal_csv.h"
#include "tests/support/wait.h"

namespace tavelund::testing {
namespace {

using namespace std::chrono_literals;
constexpr std::chrono::milliseconds kTimeout{60000};
const std::string kSymbol = "$(touch x);|&\"'\x01";

bool anyChannel() { return anyChannelExists(checkSendticksMT5); }
std::string tool(const char* name) { return ownProgramFolder() + programFile(name); }
std::string output(const char* name) { return ownProgramFolder() + name; }

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) break;  // a line still being written
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Daily closes up 100 -> 110, down to 105, up to 109, down to 105, then up
// through 110: the Double Top Breakout of the last X column, and nothing
// after it but flat bars.
std::string doubleTopBars() {
  const std::string path = output("signals-double-top.csv");
  const std::vector<int> closes = {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 109,
                                   108, 107, 106, 105, 106, 107, 108, 109, 108, 107, 106, 105,
                                   106, 107, 108, 109, 110, 111, 112, 113, 113, 113, 113, 113};
  std::ofstream out(path, std::ios::binary);
  out << "date,open,high,low,close\n";
  int previous = closes.front();
  for (size_t i = 0; i < closes.size(); ++i) {
    const int close = closes[i];
    char date[16];
    std::snprintf(date, sizeof date, "2024-%02d-%02d", i < 31 ? 1 : 2,
                  static_cast<int>(i < 31 ? i + 1 : i - 30));
    out << date << ',' << previous << ',' << std::max(previous, close) << ','
        << std::min(previous, close) << ',' << close << '\n';
    previous = close;
  }
  return path;
}

// The last line of the printer's output that starts with `start` after its
// indent, without the indent.
std::string printerLine(const std::vector<std::string>& options, const std::string& start) {
  ChildProcess chart(tool("tickwell-chart"), options, output("signals-chart.txt"));
  EXPECT_EQ(chart.waitExit(kTimeout), 0);
  std::string found;
  for (std::string line : linesOf(fileTextWithoutCr(output("signals-chart.txt")))) {
    line.erase(0, line.find_first_not_of(' '));
    if (line.rfind(start, 0) == 0) found = line;
  }
  return found;
}

class SignalStream : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(waitFor([] { return !anyChannel(); }, kTimeout));
  }
};

TEST_F(SignalStream, ANewSignalIsWrittenOnceAndItsProgramGetsTheSymbolUnchanged) {
  const std::string bars = doubleTopBars();
  // The oracle: the printer's signal of the whole file (the stream sees it
  // first on a forming bar, so at a price of its own).
  const std::vector<std::string> expected =
      csvFields(printerLine({"--signals", bars}, "2024/01/29"));
  ASSERT_EQ(expected.size(), 5u);

  const std::string record = output("signals-record.txt");
  std::filesystem::remove(record);
  std::filesystem::remove("x");
  // Started before the producer: it waits for one.
  ChildProcess signals(tool("tickwell-signals"), {"--exec", tool("signal_recorder"), record, "--"},
                       output("signals-stream.txt"));
  const auto streamLines = [] { return linesOf(fileTextWithoutCr(output("signals-stream.txt"))); };
  ASSERT_TRUE(waitFor([&] { return streamLines().size() == 1; }, kTimeout));
  EXPECT_EQ(streamLines()[0], "time,symbol,timeframe,column,side,kind,price");
  EXPECT_FALSE(anyChannel()) << "waiting must not make the channels";

  ChildProcess feed(tool("tickwell-feed"),
                    {"--symbol", kSymbol, "--timeframe", "H1", "--first", "12", "--interval", "150",
                     "--live", "2", bars},
                    output("signals-feed.txt"));
  ASSERT_TRUE(waitFor([&] { return streamLines().size() >= 2; }, kTimeout));
  // Past the last bar, complete, and a few publishes more: still one line.
  const auto publishedAfterTheLast = [] {
    const std::string said = fileTextWithoutCr(output("signals-feed.txt"));
    size_t count = 0;
    for (size_t at = said.find("newest 2024/02/05"); at != std::string::npos;
         at = said.find("newest 2024/02/05", at + 1))
      ++count;
    return count;
  };
  ASSERT_TRUE(waitFor([&] { return publishedAfterTheLast() >= 6; }, kTimeout));
  const std::vector<std::string> lines = streamLines();
  ASSERT_EQ(lines.size(), 2u) << lines.back();
  const std::vector<std::string> fields = csvFields(lines[1]);
  ASSERT_EQ(fields.size(), 7u) << lines[1];
  EXPECT_EQ(fields[0], expected[0]);
  EXPECT_EQ(fields[1], kSymbol);
  EXPECT_EQ(fields[2], "H1");
  EXPECT_EQ(fields[3], expected[1]);
  EXPECT_EQ(fields[4], expected[2]);
  EXPECT_EQ(fields[5], "Double Top Breakout");
  EXPECT_EQ(fields[5], expected[3]);

  ASSERT_TRUE(waitFor([&] { return !recorderRuns(fileText(record)).empty(); }, kTimeout));
  const auto runs = recorderRuns(fileText(record));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], (std::vector<std::string>{
                         "TICKWELL_SYMBOL=" + kSymbol, "TICKWELL_TIMEFRAME=H1", "TICKWELL_SIDE=BUY",
                         "TICKWELL_KIND=Double Top Breakout", "TICKWELL_PRICE=" + fields[6],
                         "TICKWELL_TIME=" + fields[0]}));
  EXPECT_FALSE(std::filesystem::exists("x")) << "a shell ran the symbol";

  // The producer stops and starts again: the stream, looking on, does not
  // keep the channels from it, and the same bars bring nothing new.
  feed.kill();
  ASSERT_TRUE(waitFor([] { return !anyChannel(); }, kTimeout));
  // A start in the very moment of one of the stream's looks is refused, as
  // beside a viewer; the next start then finds the channels free.
  const auto published = [] {
    return fileTextWithoutCr(output("signals-feed-again.txt")).find("published 36") !=
           std::string::npos;
  };
  std::filesystem::remove(output("signals-feed-again.txt"));
  std::unique_ptr<ChildProcess> again;
  for (int start = 0; start < 3 && !published(); ++start) {
    again =
        std::make_unique<ChildProcess>(tool("tickwell-feed"),
                                       std::vector<std::string>{"--symbol", kSymbol, "--timeframe",
                                                                "H1", "--interval", "100", bars},
                                       output("signals-feed-again.txt"));
    waitFor([&] { return published() || again->waitExit(0ms).has_value(); }, kTimeout);
  }
  ASSERT_TRUE(again && published()) << "the restarted feed was refused the channels";
  EXPECT_FALSE(again->waitExit(1s).has_value());
  EXPECT_EQ(streamLines().size(), 2u);
  EXPECT_EQ(recorderRuns(fileText(record)).size(), 1u);
#if !defined(_WIN32)
  ::kill(static_cast<pid_t>(signals.id()), SIGTERM);
  EXPECT_EQ(signals.waitExit(kTimeout), 0);
  ::kill(static_cast<pid_t>(again->id()), SIGTERM);
  EXPECT_EQ(again->waitExit(kTimeout), 0);
#endif
}

TEST_F(SignalStream, StatusIsThePrintersStatusLine) {
  const std::string bars = doubleTopBars();
  ChildProcess none(tool("tickwell-signals"), {"--status"}, output("signals-status.txt"));
  EXPECT_EQ(none.waitExit(kTimeout), 1);
  EXPECT_EQ(fileText(output("signals-status.txt")), "");
  EXPECT_FALSE(anyChannel());

  ChildProcess feed(tool("tickwell-feed"), {"--symbol", kSymbol, bars},
                    output("signals-status-feed.txt"));
  ChildProcess status(tool("tickwell-signals"), {"--status", "--wait", "30", "-f", "2"},
                      output("signals-status.txt"));
  EXPECT_EQ(status.waitExit(kTimeout), 0);
  const std::string line = printerLine({"--analysis", "-f", "2", bars}, "STATUS      : ");
  ASSERT_FALSE(line.empty());
  EXPECT_EQ(fileTextWithoutCr(output("signals-status.txt")),
            line.substr(line.find(": ") + 2) + "\n");
#if !defined(_WIN32)
  ::kill(static_cast<pid_t>(feed.id()), SIGTERM);
  EXPECT_EQ(feed.waitExit(kTimeout), 0);
#endif
}

}  // namespace
}  // namespace tavelund::testing
