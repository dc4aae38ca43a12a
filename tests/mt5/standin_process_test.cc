// The stand-in terminal running TickwellPublisher.mq5 as its own process,
// with this test in the viewer's place and tickwell-peek reading back what
// was published. Under Wine this is tickwell.dll between two Windows
// processes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/tickwell.h"
#include "tests/support/channels.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/wait.h"
#include "tools/feed_source.h"

namespace tavelund::testing {
namespace {

constexpr std::chrono::milliseconds kTimeout{30000};
constexpr int kBars = 60;

bool anyChannel() { return anyChannelExists(checkSendticksMT5); }

// The Windows runtime writes CR LF line ends.
std::string fileText(const std::string& path) { return fileTextWithoutCr(path); }

std::string tool(const char* name) { return ownProgramFolder() + programFile(name); }
std::string output(const std::string& name) { return ownProgramFolder() + "mt5_" + name; }

// Bar `index`: one a day from 2024-01-01, opened at 09:30:15 in the file
// (the timeline keeps only the minute).
std::string barDate(int index) {
  using namespace std::chrono;
  const year_month_day day{sys_days{2024y / January / 1} + days{index}};
  char text[16];
  std::snprintf(text, sizeof text, "%04d/%02u/%02u", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
  return text;
}

std::string timelineLineOf(int index) {
  char prices[96];
  const double open = 100 + index;
  std::snprintf(prices, sizeof prices, ",%.5f,%.5f,%.5f,%.5f", open, open + 2.125, open - 1.5,
                open + 0.75);
  return barDate(index) + " 09:30:00.000" + prices;
}

class StandInTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(waitFor([] { return !anyChannel(); }, kTimeout)) << "the channels are in use";
    std::ofstream bars(csv_, std::ios::binary | std::ios::trunc);
    bars << "date,open,high,low,close\n";
    for (int i = 0; i < kBars; ++i) {
      std::string date = barDate(i);
      for (char& c : date) c = c == '/' ? '-' : c;
      const double open = 100 + i;
      bars << date << " 09:30:15," << open << ',' << open + 2.125 << ',' << open - 1.5 << ','
           << open + 0.75 << '\n';
    }
    std::ofstream(control_, std::ios::binary | std::ios::trunc);
  }
  void TearDown() override { deinitSendticksMT5(); }

  void command(const std::string& text) {
    std::ofstream(control_, std::ios::binary | std::ios::app) << text << '\n';
  }
  std::vector<std::string> arguments(std::vector<std::string> extra) const {
    extra.insert(extra.end(), {"--control", control_, csv_});
    return extra;
  }
  bool logShows(const std::string& log, const std::string& text) const {
    return waitFor([&] { return fileText(log).find(text) != std::string::npos; }, kTimeout);
  }
  // Plays the viewer: attach once the program has made the channels.
  void attachAsViewer() {
    ASSERT_TRUE(waitFor([] { return anyChannel(); }, kTimeout));
    initSendticksMT5();
    ASSERT_TRUE(waitFor([] { return getSendCheckMT5() == 1; }, kTimeout));
  }

  const std::string csv_ = output("bars.csv");
  const std::string control_ = output("control.txt");
};

TEST_F(StandInTerminal, PublishesAtStartAnswersRequestsAndIsTheOnlyPublisher) {
  const std::string log = output("standin.txt");
  ChildProcess terminal(tool("mt5-standin"),
                        arguments({"--symbol", "XAUUSD", "--period", "16385", "--opened", "40",
                                   "--set", "HistoryBars=30"}),
                        log);
  attachAsViewer();
  EXPECT_STREQ(getsymbolcMT5(), "XAUUSD");
  EXPECT_EQ(gettimespanMT5(), 16385);
  auto lines = linesOf(ReadLinesMT5());
  ASSERT_EQ(lines.size(), 30u);
  EXPECT_EQ(lines.front(), timelineLineOf(10));
  EXPECT_EQ(lines.back(), timelineLineOf(39));

  ChildProcess peek(tool("tickwell-peek"), {"--wait", "10"}, output("peek.txt"));
  EXPECT_EQ(peek.waitExit(kTimeout), 0);
  const std::string shown = fileText(output("peek.txt"));
  EXPECT_NE(shown.find("SYMBOL      : XAUUSD\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("TIME SPAN   : H1 (16385)\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("SEND FLAG   : 1\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("LINES       : 30\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("FIRST LINE  : " + timelineLineOf(10) + "\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("LAST LINE   : " + timelineLineOf(39) + "\n"), std::string::npos) << shown;

  // A second copy on another chart is refused while the channels are held.
  const std::string secondLog = output("standin-second.txt");
  ChildProcess second(tool("mt5-standin"), arguments({}), secondLog);
  EXPECT_EQ(second.waitExit(kTimeout), 1);
  EXPECT_NE(fileText(secondLog).find("the tickwell channels are in use"), std::string::npos)
      << fileText(secondLog);

  // A new bar opens; the viewer asks and gets it as the newest line.
  command("bar");
  ASSERT_TRUE(logShows(log, "[terminal] bar 41 of 60 opened")) << fileText(log);
  EXPECT_EQ(linesOf(ReadLinesMT5()).back(), timelineLineOf(39)) << "published unasked";
  int ask = 0;
  setsendcheckMT5(&ask);
  ASSERT_TRUE(waitFor([] { return getSendCheckMT5() == 1; }, kTimeout));
  lines = linesOf(ReadLinesMT5());
  ASSERT_EQ(lines.size(), 30u);
  EXPECT_EQ(lines.front(), timelineLineOf(11));
  EXPECT_EQ(lines.back(), timelineLineOf(40));

  command("quit");
  EXPECT_EQ(terminal.waitExit(kTimeout), 0);
  EXPECT_NE(fileText(log).find("TickwellPublisher: stopped (reason 1), channels released"),
            std::string::npos)
      << fileText(log);
  deinitSendticksMT5();
  EXPECT_FALSE(anyChannel());
}

TEST_F(StandInTerminal, WithoutDllImportsItSaysSoAndMakesNoChannel) {
  const std::string log = output("standin-nodll.txt");
  ChildProcess terminal(tool("mt5-standin"), arguments({"--no-dlls"}), log);
  EXPECT_EQ(terminal.waitExit(kTimeout), 1);
  EXPECT_NE(fileText(log).find("tick \"Allow DLL imports\""), std::string::npos) << fileText(log);
  EXPECT_FALSE(anyChannel());
}

TEST_F(StandInTerminal, PublishesUnaskedOnEveryNewBarWhenSetTo) {
  const std::string log = output("standin-newbar.txt");
  ChildProcess terminal(tool("mt5-standin"),
                        arguments({"--opened", "5", "--set", "PublishOnNewBar=true"}), log);
  attachAsViewer();
  EXPECT_EQ(linesOf(ReadLinesMT5()).size(), 5u);
  const std::string sendTime = getsendtimeMT5();
  command("bar");
  ASSERT_TRUE(waitFor([] { return linesOf(ReadLinesMT5()).size() == 6u; }, kTimeout));
  EXPECT_EQ(linesOf(ReadLinesMT5()).back(), timelineLineOf(5));
  // The send time follows the lines.
  EXPECT_TRUE(waitFor([&] { return getsendtimeMT5() != sendTime; }, kTimeout));
  EXPECT_EQ(getSendCheckMT5(), 1);
  command("quit");
  EXPECT_EQ(terminal.waitExit(kTimeout), 0);
}

// Bars in a file the program wrote: -1 when it is there but not whole, 0
// when it cannot be opened (not yet there; on Windows, while it is replaced).
int barsInFile(const std::filesystem::path& path) {
  const feed::BarsResult read = feed::loadBars(path.string());
  if (read.ok()) return static_cast<int>(read.bars.size());
  return read.error.find("cannot open the file") != std::string::npos ? 0 : -1;
}

TEST_F(StandInTerminal, ChartsThatShareTheChannelsKeepAFolderOfFilesForTheChartPrinter) {
  const std::filesystem::path files = output("terminal/MQL5/Files");
  std::filesystem::remove_all(files);
  const std::string secondControl = output("control-second.txt");
  std::ofstream(secondControl, std::ios::binary | std::ios::trunc);
  auto chartWithFile = [&](std::vector<std::string> extra, const std::string& control) {
    extra.insert(extra.end(), {"--files", files.string(), "--set", "ExportBarsCsv=true", "--opened",
                               "40", "--control", control, csv_});
    return extra;
  };
  const std::string firstLog = output("standin-first.txt");
  const std::string secondLog = output("standin-export.txt");
  ChildProcess first(
      tool("mt5-standin"),
      chartWithFile({"--symbol", "XAUUSD", "--period", "16388", "--set", "PublishOnNewBar=true"},
                    control_),
      firstLog);
  attachAsViewer();
  ChildProcess second(tool("mt5-standin"),
                      chartWithFile({"--symbol", "BTC/USD", "--period", "15"}, secondControl),
                      secondLog);
  ASSERT_TRUE(logShows(secondLog, "only writes its bars to MQL5\\Files\\BTC_USD_M15.csv"))
      << fileText(secondLog);
  const auto gold = files / "XAUUSD_H4.csv";
  const auto bitcoin = files / "BTC_USD_M15.csv";
  ASSERT_TRUE(waitFor([&] { return barsInFile(bitcoin) == 40; }, kTimeout));
  EXPECT_EQ(barsInFile(gold), 40);
  EXPECT_STREQ(getsymbolcMT5(), "XAUUSD") << "the second chart published";

  // A new bar on both charts: every look at a file finds it whole, old or new.
  command("bar");
  std::ofstream(secondControl, std::ios::binary | std::ios::app) << "bar\n";
  int torn = 0;
  ASSERT_TRUE(waitFor(
      [&] {
        const int goldBars = barsInFile(gold), bitcoinBars = barsInFile(bitcoin);
        for (int bars : {goldBars, bitcoinBars}) torn += bars != 0 && bars != 40 && bars != 41;
        return goldBars == 41 && bitcoinBars == 41;
      },
      kTimeout))
      << fileText(firstLog) << fileText(secondLog);
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(linesOf(ReadLinesMT5()).size(), 41u) << "the viewer's batch on the new bar";
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(files))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"BTC_USD_M15.csv", "XAUUSD_H4.csv"}));

  for (const auto& file : {gold, bitcoin}) {
    const std::string printed = output("chart.txt");
    ChildProcess chart(tool("tickwell-chart"), {file.string()}, printed);
    EXPECT_EQ(chart.waitExit(kTimeout), 0) << fileText(printed);
    EXPECT_NE(fileText(printed).find("LAST LINE : "), std::string::npos) << fileText(printed);
  }

  command("quit");
  std::ofstream(secondControl, std::ios::binary | std::ios::app) << "quit\n";
  EXPECT_EQ(second.waitExit(kTimeout), 0);
  EXPECT_EQ(first.waitExit(kTimeout), 0);
  EXPECT_NE(fileText(secondLog).find("TickwellPublisher: stopped (reason 1)\n"), std::string::npos);
}

}  // namespace
}  // namespace tavelund::testing
