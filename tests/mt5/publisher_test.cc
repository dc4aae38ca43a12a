// TickwellPublisher.mq5, built as C++ against the stand-in terminal, in this
// process with the real link library. The test drives the terminal: it
// opens bars, fires the timer and plays the viewer through the exports.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "link/line_format.h"
#include "link/tickwell.h"
#include "tests/mt5/standin/publisher.h"
#include "tests/support/channels.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tools/feed_source.h"

namespace {

using Calls = std::vector<std::string>;

// Bar `index` of a chart of daily bars from 2024-01-01, opened at 09:30:15
// (the seconds must not reach the timeline).
MqlRates dailyBar(int index) {
  MqlRates bar;
  bar.time = mql5standin::toDatetime(2024, 1, 1, 9, 30, 15) + index * 86400LL;
  bar.open = 100 + index;
  bar.high = bar.open + 2.125;
  bar.low = bar.open - 1.5;
  bar.close = bar.open + 0.75;
  return bar;
}

mql5standin::Chart chartOf(int bars, int opened, const std::string& symbol = "XAUUSD") {
  mql5standin::Chart chart;
  chart.symbol = symbol;
  chart.period = PERIOD_H4;
  for (int i = 0; i < bars; ++i) chart.bars.push_back(dailyBar(i));
  chart.opened = static_cast<std::size_t>(opened);
  return chart;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

std::string expectedLine(int index) {
  const MqlRates bar = dailyBar(index);
  MqlDateTime t;
  TimeToStruct(bar.time, t);
  std::string line = tavelund::timelineLine(tavelund::TimelineBar{
      t.year, t.mon, t.day, t.hour, t.min, 0, 0, bar.open, bar.high, bar.low, bar.close});
  line.pop_back();
  return line;
}

// The calls of one batch of `bars` lines, in the order the viewer relies on.
Calls batchCalls(int bars) {
  Calls calls(static_cast<std::size_t>(bars), "lineSendTimeLineMT5");
  calls.insert(calls.end(), {"completeSendticksMT5", "setsendtimeNowMT5", "setsendcheckMT5(1)"});
  return calls;
}

Calls operator+(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool anyChannel() { return tavelund::testing::anyChannelExists(checkSendticksMT5); }

class Publisher : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(anyChannel()) << "another process holds the channels";
    HistoryBars = 20000;
    TimerMilliseconds = 20;
    PublishOnNewBar = false;
    ExportBarsCsv = false;
    std::filesystem::remove_all(files_);
    mql5standin::setFilesFolders(files_.string(), common_.string());
  }
  void TearDown() override { deinitSendticksMT5(); }

  // A fresh terminal on `chart`, recording from here on.
  void attachTo(mql5standin::Chart chart) {
    mql5standin::reset(std::move(chart));
    mql5standin::recordImports(true);
    seen_ = 0;
  }
  // The exports called since the last look.
  Calls takeCalls() {
    const Calls& all = mql5standin::importCalls();
    Calls fresh(all.begin() + static_cast<long>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }
  void askForFreshBars() {
    int ask = 0;
    setsendcheckMT5(&ask);
  }
  std::size_t logCount(const std::string& part) const {
    const auto& log = mql5standin::expertsLog();
    return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [&](const auto& line) {
      return line.find(part) != std::string::npos;
    }));
  }

  // The names in the terminal's MQL5\\Files folder (subfolders end in "/").
  std::set<std::string> filesFolder() const {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(files_, error)) {
      names.insert(entry.path().filename().string() + (entry.is_directory() ? "/" : ""));
    }
    return names;
  }

  std::size_t seen_ = 0;
  const std::filesystem::path files_ =
      tavelund::testing::ownProgramFolder() + "mt5_terminal/MQL5/Files";
  const std::filesystem::path common_ =
      tavelund::testing::ownProgramFolder() + "mt5_terminal/Common/Files";
};

TEST_F(Publisher, StartPublishesOneCompleteBatchAndOnlyThenRaisesTheFlag) {
  attachTo(chartOf(50, 50));
  HistoryBars = 20;
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  EXPECT_EQ(takeCalls(), (Calls{"preInitSendticksMT5", "initSendticksMT5", "setsymbolcMT5(XAUUSD)",
                                "settimespanMT5(16388)"} +
                          batchCalls(20)));
  EXPECT_EQ(mql5standin::timerMilliseconds(), 20);

  EXPECT_STREQ(getsymbolcMT5(), "XAUUSD");
  EXPECT_EQ(gettimespanMT5(), 16388);
  EXPECT_EQ(getSendCheckMT5(), 1);
  EXPECT_EQ(std::string(getsendtimeMT5()).size(), 23u);
  const auto lines = linesOf(ReadLinesMT5());
  ASSERT_EQ(lines.size(), 20u);
  // The newest 20 bars, oldest first, each at its open minute.
  EXPECT_EQ(lines.front(), expectedLine(30));
  EXPECT_EQ(lines.back(), expectedLine(49));
  EXPECT_EQ(lines.back().substr(0, 24), "2024/02/19 09:30:00.000,");
  EXPECT_EQ(logCount("published 20 bars, newest 2024.02.19 09:30"), 1u);
}

TEST_F(Publisher, ARequestIsAnsweredWithAFreshBatchHoldingTheFormingBar) {
  attachTo(chartOf(50, 40));
  HistoryBars = 30;
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  takeCalls();

  // Nobody asks: the timer only looks at the flag.
  OnTimer();
  OnTimer();
  EXPECT_EQ(takeCalls(), (Calls{"getSendCheckMT5", "getSendCheckMT5"}));

  ASSERT_TRUE(mql5standin::openNextBar());
  askForFreshBars();
  OnTimer();
  EXPECT_EQ(takeCalls(), Calls{"getSendCheckMT5"} + batchCalls(30));
  EXPECT_EQ(getSendCheckMT5(), 1);
  const auto lines = linesOf(ReadLinesMT5());
  ASSERT_EQ(lines.size(), 30u);
  EXPECT_EQ(lines.front(), expectedLine(11));
  EXPECT_EQ(lines.back(), expectedLine(40));
}

TEST_F(Publisher, PublishingOnEveryNewBarIsOffUnlessAsked) {
  attachTo(chartOf(10, 5));
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  takeCalls();
  mql5standin::openNextBar();
  OnTimer();
  EXPECT_EQ(takeCalls(), Calls{"getSendCheckMT5"});
  EXPECT_EQ(linesOf(ReadLinesMT5()).size(), 5u);
  OnDeinit(REASON_REMOVE);

  PublishOnNewBar = true;
  attachTo(chartOf(10, 5));
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  takeCalls();
  OnTimer();  // the bar published at the start is still the newest
  EXPECT_EQ(takeCalls(), Calls{"getSendCheckMT5"});
  mql5standin::openNextBar();
  OnTimer();
  EXPECT_EQ(takeCalls(), Calls{"getSendCheckMT5"} + batchCalls(6));
  const auto lines = linesOf(ReadLinesMT5());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines.back(), expectedLine(5));
  OnTimer();  // once per bar
  EXPECT_EQ(takeCalls(), Calls{"getSendCheckMT5"});
}

TEST_F(Publisher, WithoutHistoryTheFlagStaysDownUntilTheFirstBatchGoesOut) {
  attachTo(chartOf(5, 0));
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  EXPECT_EQ(getSendCheckMT5(), 0);
  EXPECT_STREQ(ReadLinesMT5(), "");
  OnTimer();
  OnTimer();
  // One message for the whole wait, not one per pass.
  EXPECT_EQ(logCount("no bars of XAUUSD to publish yet (CopyRates error 4401); trying again"), 1u);
  EXPECT_EQ(getSendCheckMT5(), 0);

  mql5standin::openNextBar();
  takeCalls();
  OnTimer();
  EXPECT_EQ(takeCalls(), Calls{"getSendCheckMT5"} + batchCalls(1));
  EXPECT_EQ(getSendCheckMT5(), 1);
  EXPECT_EQ(linesOf(ReadLinesMT5()), std::vector<std::string>{expectedLine(0)});
  EXPECT_EQ(logCount("publishing again"), 1u);
}

TEST_F(Publisher, RefusedStartsSayWhyAndTouchNoChannel) {
  attachTo(chartOf(5, 5));
  mql5standin::allowDllImports(false);
  EXPECT_EQ(OnInit(), INIT_FAILED);
  EXPECT_EQ(logCount("DLL imports are not allowed for this expert"), 1u);
  EXPECT_EQ(logCount("\"Allow DLL imports\""), 1u);
  EXPECT_EQ(takeCalls(), Calls{});
  EXPECT_FALSE(anyChannel());
  OnDeinit(REASON_INITFAILED);
  EXPECT_EQ(takeCalls(), Calls{});

  for (auto [history, timer] : {std::pair{0, 20}, std::pair{20, 0}, std::pair{-5, 20}}) {
    attachTo(chartOf(5, 5));
    HistoryBars = history;
    TimerMilliseconds = timer;
    EXPECT_EQ(OnInit(), INIT_PARAMETERS_INCORRECT) << history << " " << timer;
    EXPECT_EQ(logCount("HistoryBars and TimerMilliseconds must be 1 or more"), 1u);
    EXPECT_EQ(takeCalls(), Calls{});
  }
  EXPECT_FALSE(anyChannel());
}

TEST_F(Publisher, ARefusedStartLeavesTheChannelsOfTheRunningProgramAlone) {
  // Programs in one terminal share the library: this test holds its
  // channels as the running program would.
  ASSERT_TRUE(initSendticksMT5());
  std::string symbol = "EURUSD";
  setsymbolcMT5(symbol.c_str());
  attachTo(chartOf(5, 5));
  EXPECT_EQ(OnInit(), INIT_FAILED);
  EXPECT_EQ(logCount("the tickwell channels are in use"), 1u);
  OnDeinit(REASON_INITFAILED);
  EXPECT_EQ(takeCalls(), Calls{"preInitSendticksMT5"});
  EXPECT_TRUE(anyChannel());
  symbol = "GBPUSD";
  EXPECT_NE(setsymbolcMT5(symbol.c_str()), 0) << "the running program's channels are gone";
  EXPECT_STREQ(getsymbolcMT5(), "GBPUSD");
}

TEST_F(Publisher, StopReleasesTheChannelsWhateverTheReason) {
  for (int reason : {REASON_REMOVE, REASON_CHARTCHANGE}) {
    attachTo(chartOf(5, 5));
    ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
    ASSERT_TRUE(anyChannel());
    takeCalls();
    OnDeinit(reason);
    EXPECT_EQ(takeCalls(), Calls{"deinitSendticksMT5"});
    EXPECT_EQ(mql5standin::timerMilliseconds(), 0);
    EXPECT_FALSE(anyChannel()) << "reason " << reason;
    EXPECT_EQ(logCount("stopped (reason " + std::to_string(reason) + "), channels released"), 1u);
  }
}

TEST_F(Publisher, ABatchIsBoundedByTheLengthOfItsLines) {
  // A price's room in a line is never smaller than its real text, rounding
  // carries and signs included.
  for (double price : {0.0, 0.5, 9.999994, 9.999995, -9.999995, 99999.999996, -99999.999996,
                       -0.00001, -123.456789, 1.08525, 1e9, 999999999.999995, 1e15, -1e300}) {
    tavelund::TimelineBar bar{2024, 3, 5, 9, 7, 0, 0, price, price, price, price};
    const std::size_t real = tavelund::timelineLine(bar).size();
    EXPECT_LE(real, static_cast<std::size_t>(28 + 4 * PriceBytes(price))) << price;
  }
  constexpr int kMany = 110000;
  MqlArray<MqlRates> rates;
  rates.resize(kMany);
  for (int i = 0; i < kMany; ++i) rates[i] = dailyBar(i);
  EXPECT_EQ(BarsThatFit(rates, kMany), kMany);
  rates[7].high = 1e300;  // one wide price widens every line
  const int fit = BarsThatFit(rates, kMany);
  EXPECT_EQ(fit, 134217727 / (28 + 4 * PriceBytes(1e300)));
  EXPECT_LT(fit, kMany);
  EXPECT_EQ(BarsThatFit(rates, 10), 10);
  // Any one price of any bar may be the widest, a negative one as well.
  rates[7] = dailyBar(7);
  for (double MqlRates::*price :
       {&MqlRates::open, &MqlRates::high, &MqlRates::low, &MqlRates::close}) {
    MqlRates& newest = rates[kMany - 1];
    newest.*price = -1e300;
    EXPECT_EQ(BarsThatFit(rates, kMany), fit);
    newest = dailyBar(kMany - 1);
  }

  // With the default input a whole history fits and nothing is dropped.
  attachTo(chartOf(20500, 20500));
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  const auto lines = linesOf(ReadLinesMT5());
  ASSERT_EQ(lines.size(), 20000u);
  EXPECT_EQ(lines.front(), expectedLine(500));
  EXPECT_EQ(lines.back(), expectedLine(20499));
}

#ifndef _WIN32
TEST(PublisherStandIn, ATextWithoutItsTerminatingZeroNeverReachesTheLibrary) {
  // What the terminal would hand the library for an array filled without
  // its zero: the stand-in stops rather than let the library read past it.
  MqlArray<uchar> text;
  StringToCharArray("EURUSD", text, 0, 6);
  EXPECT_EQ(ArraySize(text), 6);
  EXPECT_DEATH(mql5_import::setsymbolcMT5(text), "no terminating zero");
}
#endif

// With ExportBarsCsv the program keeps MQL5\\Files\\<symbol>_<period>.csv.
class ExportedBars : public Publisher {
 protected:
  void SetUp() override {
    Publisher::SetUp();
    ExportBarsCsv = true;
  }
  std::filesystem::path barsFile() const { return files_ / "XAUUSD_H4.csv"; }
  // The file as tickwell-chart and tickwell-feed read it.
  std::vector<tavelund::TimelineBar> barsInFile() const {
    const tavelund::feed::BarsResult read = tavelund::feed::loadBars(barsFile().string());
    EXPECT_TRUE(read.ok()) << read.error;
    return read.bars;
  }
};

// The bars of the chart from `first` to `last` as the reader gives them back.
std::vector<tavelund::TimelineBar> chartBars(int first, int last) {
  std::vector<tavelund::TimelineBar> bars;
  for (int i = first; i <= last; ++i) {
    const MqlRates bar = dailyBar(i);
    MqlDateTime t;
    TimeToStruct(bar.time, t);
    bars.push_back(
        {t.year, t.mon, t.day, t.hour, t.min, 0, 0, bar.open, bar.high, bar.low, bar.close});
  }
  return bars;
}

bool sameBars(const std::vector<tavelund::TimelineBar>& a,
              const std::vector<tavelund::TimelineBar>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto& x, auto& y) {
           return tavelund::timelineLine(x) == tavelund::timelineLine(y);
         });
}

TEST_F(ExportedBars, EachPublishWritesThePublishedBarsAndTheInputOffWritesNothing) {
  ExportBarsCsv = false;
  attachTo(chartOf(50, 40));
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  mql5standin::openNextBar();
  askForFreshBars();
  OnTimer();
  OnDeinit(REASON_REMOVE);
  EXPECT_EQ(filesFolder(), std::set<std::string>{});

  ExportBarsCsv = true;
  mql5standin::Chart chart = chartOf(50, 40);
  chart.digits = 3;
  attachTo(chart);
  HistoryBars = 30;
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  EXPECT_EQ(filesFolder(), std::set<std::string>{"XAUUSD_H4.csv"});
  EXPECT_EQ(mql5standin::openFileCount(), 0);
  // The form: a header, the terminal's date and minute, the symbol's digits,
  // CR LF as a text file of the terminal ends its lines.
  const std::string head =
      "date,open,high,low,close\r\n2024.01.11 09:30,110.000,112.125,108.500,110.750\r\n";
  EXPECT_EQ(tavelund::testing::fileText(barsFile()).substr(0, head.size()), head);
  EXPECT_TRUE(sameBars(barsInFile(), chartBars(10, 39)));
  EXPECT_EQ(
      logCount("each publish and each new bar also write the bars to MQL5\\Files\\XAUUSD_H4.csv"),
      1u);

  // A request: the file follows the batch, forming bar included.
  mql5standin::openNextBar();
  askForFreshBars();
  OnTimer();
  EXPECT_TRUE(sameBars(barsInFile(), chartBars(11, 40)));
  // A new bar that nobody asks for (PublishOnNewBar off): the file follows
  // all the same, and the viewer's batch stays as it was.
  mql5standin::openNextBar();
  takeCalls();
  OnTimer();
  EXPECT_EQ(takeCalls(), Calls{"getSendCheckMT5"});
  EXPECT_TRUE(sameBars(barsInFile(), chartBars(12, 41)));
  EXPECT_EQ(linesOf(ReadLinesMT5()).back(), expectedLine(40));
  EXPECT_EQ(filesFolder(), std::set<std::string>{"XAUUSD_H4.csv"});
}

TEST_F(ExportedBars, AReaderNeverFindsTheFileHalfWritten) {
  attachTo(chartOf(2300, 2000));
  HistoryBars = 1500;
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  std::atomic<bool> done{false};
  int wholeReads = 0;
  std::string broken;
  std::thread reader([&] {
    while (!done && broken.empty()) {
      std::ifstream in(barsFile(), std::ios::binary);
      if (!in) continue;  // Windows: a file being replaced cannot be opened
      std::ostringstream text;
      text << in.rdbuf();
      in.close();
      const auto read = tavelund::feed::parseBars(text.str(), "bars");
      if (!read.ok() || read.bars.size() != 1500u) {
        broken = read.ok() ? std::to_string(read.bars.size()) + " bars" : read.error;
      }
      ++wholeReads;
    }
  });
  for (int i = 0; i < 150; ++i) {
    mql5standin::openNextBar();
    askForFreshBars();
    OnTimer();
  }
  done = true;
  reader.join();
  EXPECT_EQ(broken, "");
  EXPECT_GT(wholeReads, 0);
  // On Windows a replace fails while the reader holds the file open; it is
  // tried again a second of timer passes later.
  for (int pass = 0; pass < 100 && barsInFile().back().day != chartBars(2149, 2149)[0].day; ++pass)
    OnTimer();
  EXPECT_TRUE(sameBars(barsInFile(), chartBars(650, 2149)));
  EXPECT_EQ(filesFolder(), std::set<std::string>{"XAUUSD_H4.csv"});
}

TEST_F(ExportedBars, AFailedWriteIsLoggedOnceAndNeverStopsPublishing) {
  // A folder where the file belongs: every replace fails.
  std::filesystem::create_directories(barsFile());
  attachTo(chartOf(50, 40));
  HistoryBars = 30;
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  for (int i = 0; i < 3; ++i) {
    mql5standin::openNextBar();
    askForFreshBars();
    OnTimer();
    EXPECT_EQ(getSendCheckMT5(), 1);
    EXPECT_EQ(linesOf(ReadLinesMT5()).back(), expectedLine(40 + i));
  }
  EXPECT_EQ(logCount("could not write MQL5\\Files\\XAUUSD_H4.csv (error 5018); trying again"), 1u);
  EXPECT_EQ(filesFolder(), std::set<std::string>{"XAUUSD_H4.csv/"}) << "a temporary is left";
  EXPECT_EQ(mql5standin::openFileCount(), 0);

  std::filesystem::remove(barsFile());
  for (int pass = 0; pass < 1000 / TimerMilliseconds; ++pass) OnTimer();
  EXPECT_TRUE(sameBars(barsInFile(), chartBars(13, 42)));
  EXPECT_EQ(logCount("writing MQL5\\Files\\XAUUSD_H4.csv again"), 1u);
}

TEST_F(ExportedBars, FileNamesHoldOnlyWhatAFileNameCan) {
  const struct {
    std::string symbol;
    ENUM_TIMEFRAMES period;
    std::string file;
  } cases[] = {
      {"EURUSD", PERIOD_M15, "EURUSD_M15.csv"},
      {"US500.cash", PERIOD_MN1, "US500.cash_MN1.csv"},
      {"#AAPL", PERIOD_W1, "#AAPL_W1.csv"},
      {"BTC/USD", PERIOD_H1, "BTC_USD_H1.csv"},    // not a folder BTC
      {"..\\..\\X", PERIOD_D1, ".._.._X_D1.csv"},  // nothing outside MQL5\\Files
      {"A<B>C:D\"E|F?G*H I\x01J\xC3\xA9", PERIOD_M1, "A_B_C_D_E_F_G_H_I_J___M1.csv"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(files_);
    mql5standin::Chart chart = chartOf(5, 5, c.symbol);
    chart.period = c.period;
    attachTo(chart);
    ASSERT_EQ(OnInit(), INIT_SUCCEEDED) << c.symbol;
    EXPECT_EQ(filesFolder(), std::set<std::string>{c.file}) << c.symbol;
    EXPECT_EQ(logCount("could not"), 0u) << c.symbol;
    OnDeinit(REASON_REMOVE);
  }
}

TEST_F(ExportedBars, WhileAnotherChartHoldsTheChannelsOnlyTheFileIsWritten) {
  // The chart that holds the channels, in the same terminal (one library).
  ASSERT_TRUE(initSendticksMT5());
  std::string symbol = "EURUSD";
  setsymbolcMT5(symbol.c_str());
  attachTo(chartOf(50, 40));
  ASSERT_EQ(OnInit(), INIT_SUCCEEDED);
  EXPECT_EQ(takeCalls(), Calls{"checkSendticksMT5(LOW_SENDCHECKShared)"});
  EXPECT_EQ(logCount("the tickwell channels are in use: a viewer or this expert on another chart "
                     "holds them. This chart publishes nothing to the viewer and only writes its "
                     "bars to MQL5\\Files\\XAUUSD_H4.csv"),
            1u);
  EXPECT_TRUE(sameBars(barsInFile(), chartBars(0, 39)));

  int ask = 0;
  setsendcheckMT5(&ask);  // a request of the viewer is not this chart's to answer
  mql5standin::openNextBar();
  OnTimer();
  OnTimer();
  EXPECT_EQ(takeCalls(), Calls{});
  EXPECT_TRUE(sameBars(barsInFile(), chartBars(0, 40)));
  EXPECT_EQ(getSendCheckMT5(), 0);
  EXPECT_STREQ(getsymbolcMT5(), "EURUSD");
  EXPECT_STREQ(ReadLinesMT5(), "");
  OnDeinit(REASON_REMOVE);
  EXPECT_EQ(takeCalls(), Calls{});
  EXPECT_TRUE(anyChannel());
}

}  // namespace
