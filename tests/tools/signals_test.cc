// tickwell-signals' parts without the channels: its command line, its lines
// for hostile symbols, the chart it keeps from batch to batch, and the runs
// of --exec.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "analysis/report.h"
#include "common/chart_lock.h"
#include "link/line_format.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/wave_bars.h"
#include "tests/support/signal_csv.h"
#include "tools/chart_print.h"
#include "tools/feed_source.h"
#include "tools/program_run.h"
#include "tools/signal_lines.h"
#include "tools/signal_tracker.h"
#include "tools/signals_options.h"

namespace tavelund::signals {
namespace {

using namespace std::chrono_literals;
using tavelund::testing::csvFields;
using tavelund::testing::recorderRuns;
using tavelund::testing::waveBars;

chart::Parsed parse(std::vector<const char*> args, Options& options, std::string& error) {
  args.insert(args.begin(), "tickwell-signals");
  return parseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

// The chart options as the printer reads them are the oracle: the same
// words give the same chart, or the same complaint.
TEST(SignalsOptions, TheChartOptionsReadAsThePrinterReadsThem) {
  const std::vector<std::vector<const char*>> lines = {
      {},
      {"-b", "5"},
      {"-b", "9"},
      {"-g", "1%", "-b", "9"},
      {"-e", "-p", "0.5"},
      {"-p", "99"},
      {"-s", "0", "-f", "2"},
      {"-g", "atr14"},
      {"-b", "x"},
      {"-g", "nonsense"},
      {"-f"},
  };
  for (const auto& words : lines) {
    std::vector<const char*> printerWords = words;
    printerWords.insert(printerWords.begin(), {"tickwell-chart", "bars.csv"});
    chart::Options printer;
    std::string printerError;
    const chart::Parsed printerParsed = chart::parseOptions(
        static_cast<int>(printerWords.size()), printerWords.data(), printer, printerError);
    Options options;
    std::string error;
    EXPECT_EQ(parse(words, options, error), printerParsed) << error;
    EXPECT_EQ(error, printerError);
    const chart::Options& own = options.chart;
    EXPECT_EQ(own.boxFraction, printer.boxFraction);
    EXPECT_EQ(own.grid.has_value(), printer.grid.has_value());
    EXPECT_EQ(own.reversal, printer.reversal);
    EXPECT_EQ(own.dataExpand, printer.dataExpand);
    EXPECT_EQ(own.showColumns, printer.showColumns);
    EXPECT_EQ(own.digits, printer.digits);
  }
}

TEST(SignalsOptions, ExecKeepsItsWordsAndTheOtherOptionsTheirRanges) {
  struct Case {
    std::vector<const char*> args;
    std::vector<std::string> exec;
    std::string error;  // empty: read
  };
  const Case cases[] = {
      {{"--exec", "notify", "-u", "--json", "--", "--json"}, {"notify", "-u", "--json"}, ""},
      {{"--json", "--exec=notify", "a b"}, {"notify", "a b"}, ""},
      {{"--exec", "p", "--", "--exec", "q"}, {}, "only one --exec, please"},
      {{"--exec"}, {}, "--exec needs a program"},
      {{"--exec", ""}, {}, "--exec needs a program"},
      {{"--exe", "p"}, {}, "unknown option --exe"},
      {{"--", "--exec", "p"}, {}, "no operand is taken, not --exec"},
      {{"--ask", "0"}, {}, "--ask needs seconds from 1 to 86400 (a day)"},
      {{"--ask", "86400", "--wait", "0"}, {}, ""},
      {{"--wait", "86401"}, {}, "--wait needs seconds from 0 to 86400 (a day)"},
      {{"--exec-limit", "3601"}, {}, "--exec-limit needs seconds from 1 to 3600 (an hour)"},
      {{"--count", "-1"}, {}, "--count needs a number of signals, 0 or more"},
      {{"--status", "--json"},
       {},
       "--status prints one line: it takes only the chart options and --wait"},
      {{"--status", "--wait", "5", "-b", "4"}, {}, ""},
  };
  for (const Case& c : cases) {
    Options options;
    std::string error;
    const chart::Parsed parsed = parse(c.args, options, error);
    EXPECT_EQ(error, c.error) << c.args.front();
    EXPECT_EQ(parsed, c.error.empty() ? chart::Parsed::Run : chart::Parsed::Error);
    if (c.error.empty()) {
      EXPECT_EQ(options.exec, c.exec) << c.args.front();
    }
  }
}

analysis::Signal sampleSignal(std::string time = "2024/01/29 00:00") {
  analysis::Signal signal;
  signal.kind = analysis::PatternKind::DoubleTopBreakout;
  signal.side = analysis::Side::Buy;
  signal.columnNumber = 12;
  signal.time = std::move(time);
  signal.price = 1.23456789;
  return signal;
}

// Whatever the symbol, a line is one line, reads back to the symbol's bytes
// (CSV), or to its text (JSON, with what is not UTF-8 replaced), and the
// program gets the bytes themselves.
TEST(SignalLines, HostileSymbolsNeitherBreakNorChange) {
  struct Case {
    std::string symbol;
    std::string inJson;  // empty: the symbol itself
  };
  const Case cases[] = {
      {"EURUSD", ""},
      {"A,B", ""},
      {"say \"hi\"", ""},
      {"$(touch x);|&\"'\x01", ""},
      {"line\nbreak\r", ""},
      {"\x1b[31mred\x7f", ""},
      {" padded ", ""},
      {"\xe6\x97\xa5\xe7\xb5\x8c"
       "225",
       ""},
      {"\xff\xc0\x80ok\xe6\x97", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbdok\xef\xbf\xbd\xef\xbf\xbd"},
  };
  const analysis::Signal signal = sampleSignal("2024/01/29 00:00\n,");
  for (const Case& c : cases) {
    const SignalPlace place{c.symbol, 16385, 3};
    const std::string csv = csvLine(signal, place);
    ASSERT_FALSE(csv.empty());
    EXPECT_EQ(csv.find('\n'), csv.size() - 1) << csv;
    for (const char byte : csv.substr(0, csv.size() - 1))
      EXPECT_FALSE(static_cast<unsigned char>(byte) < 0x20 || byte == 0x7f) << csv;
    EXPECT_EQ(csvFields(csv.substr(0, csv.size() - 1)),
              (std::vector<std::string>{signal.time, c.symbol, "H1", "12", "BUY",
                                        "Double Top Breakout", "1.235"}))
        << csv;

    const std::string json = jsonLine(signal, place);
    EXPECT_EQ(json.find('\n'), json.size() - 1) << json;
    rapidjson::Document document;
    document.Parse(json.c_str());
    ASSERT_FALSE(document.HasParseError()) << json;
    EXPECT_EQ(document["symbol"].GetString(), c.inJson.empty() ? c.symbol : c.inJson);
    EXPECT_STREQ(document["time"].GetString(), signal.time.c_str());
    EXPECT_EQ(document["column"].GetInt(), 12);
    EXPECT_DOUBLE_EQ(document["price"].GetDouble(), 1.235);

    const auto environment = signalEnvironment(signal, place);
    EXPECT_EQ(environment.front(), std::make_pair(std::string("TICKWELL_SYMBOL"), c.symbol));
  }
  EXPECT_EQ(csvHeader(), "time,symbol,timeframe,column,side,kind,price\n");
  EXPECT_EQ(timeFrameText(16408), "D1");
  EXPECT_EQ(timeFrameText(7), "7");
}

std::string timelineOf(const std::vector<TimelineBar>& bars) {
  std::string text;
  for (const TimelineBar& bar : bars) appendTimelineLine(text, bar);
  return text;
}

std::string keyOf(const analysis::Signal& s) {
  return std::to_string(s.columnNumber) + " " + std::string(analysis::kindName(s.kind));
}

// The printer's signals of the bars, as "column kind" keys.
std::multiset<std::string> printerSignals(const std::vector<TimelineBar>& bars,
                                          const chart::Options& options) {
  chart::BuiltChart built;
  chart::buildChart(bars, options, built);
  std::lock_guard<std::mutex> lock(chartLock);
  std::multiset<std::string> keys;
  for (const auto& s : analysis::analyze(built.chart, chart::shownLayout(built)).signals)
    keys.insert(keyOf(s));
  return keys;
}

// Batch after batch as a live producer publishes them (every bar forming
// over three publishes), each news is what the printer's chart of that
// batch holds and its chart of the batch before did not: the chart kept up
// to date is the chart built anew.
TEST(SignalTracker, EachBatchBringsWhatThePrinterFindsNew) {
  const std::vector<TimelineBar> bars = waveBars(260);
  for (const bool expand : {false, true}) {
    chart::Options options;
    options.dataExpand = expand;
    SignalTracker tracker(options);
    std::multiset<std::string> before, seen;
    const size_t first = 120;
    for (size_t shown = first; shown <= bars.size(); ++shown) {
      for (int step = 1; step <= 3; ++step) {
        std::vector<TimelineBar> batch(bars.begin(), bars.begin() + static_cast<long>(shown));
        batch.back() = feed::formingBar(batch.back(), step, 3);
        const std::string text = timelineOf(batch);
        const News news = tracker.take(Batch{"WAVE", 16408, text.c_str()});
        EXPECT_EQ(news.startingChart, shown == first && step == 1);
        const std::multiset<std::string> now = printerSignals(batch, options);
        std::multiset<std::string> fresh;
        for (const std::string& key : now)
          if (news.startingChart || before.count(key) == 0) fresh.insert(key);
        std::multiset<std::string> told;
        for (const auto& s : news.signals) told.insert(keyOf(s));
        EXPECT_EQ(told, fresh) << shown << " bars, step " << step;
        seen.insert(told.begin(), told.end());
        before = now;
      }
    }
    EXPECT_GT(seen.size(), 5u);  // the batches brought news
    // Bars that do not go on from the newest (a producer started again on
    // older ones), another symbol or time frame: a new starting chart.
    const std::string older = timelineOf({bars.begin(), bars.begin() + 150});
    const News restarted = tracker.take(Batch{"WAVE", 16408, older.c_str()});
    EXPECT_TRUE(restarted.startingChart);
    EXPECT_EQ(restarted.signals.size(),
              printerSignals({bars.begin(), bars.begin() + 150}, options).size());
    const std::string text = timelineOf(bars);
    EXPECT_TRUE(tracker.take(Batch{"OTHER", 16408, text.c_str()}).startingChart);
    EXPECT_TRUE(tracker.take(Batch{"OTHER", 16385, text.c_str()}).startingChart);
    EXPECT_FALSE(tracker.take(Batch{"OTHER", 16385, text.c_str()}).startingChart);
  }
}

std::string recorder() {
  return tavelund::testing::ownProgramFolder() + tavelund::testing::programFile("signal_recorder");
}

TEST(ProgramRun, TheProgramGetsItsWordsAndTheSignalAndEndsAsItEnds) {
  const std::string record = tavelund::testing::ownProgramFolder() + "signals-run-record.txt";
  std::filesystem::remove(record);
  const std::string symbol = "$(touch x);|&\"'\x01 %PATH% *";
  const auto never = [] { return false; };
  RunResult result = runProgram(
      ProgramRun{{recorder(), record, "a \"b\"", "c\\"}, {{"TICKWELL_SYMBOL", symbol}}, 30s},
      never);
  EXPECT_EQ(result.end, RunResult::End::Exited);
  EXPECT_EQ(runFailure(result, 30s), "");
  const auto runs = recorderRuns(tavelund::testing::fileText(record));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0][0], "arg=a \"b\"");
  EXPECT_EQ(runs[0][1], "arg=c\\");
  EXPECT_EQ(runs[0][2], "TICKWELL_SYMBOL=" + symbol);
  EXPECT_EQ(runs[0][3], "TICKWELL_TIMEFRAME unset");

  result = runProgram(ProgramRun{{recorder(), record, "exit", "3"}, {}, 30s}, never);
  EXPECT_EQ(runFailure(result, 30s), "exit code 3");
  result = runProgram(ProgramRun{{recorder() + "-missing"}, {}, 30s}, never);
  EXPECT_EQ(result.end, RunResult::End::NotStarted);
  EXPECT_EQ(runFailure(result, 30s).rfind("not started: ", 0), 0u);

  const auto start = std::chrono::steady_clock::now();
  result = runProgram(ProgramRun{{recorder(), record, "sleep", "60000"}, {}, 1s}, never);
  EXPECT_EQ(runFailure(result, 1s), "still running after 1 s: ended");
  result =
      runProgram(ProgramRun{{recorder(), record, "sleep", "60000"}, {}, 30s}, [] { return true; });
  EXPECT_EQ(result.end, RunResult::End::Stopped);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
  EXPECT_EQ(recorderRuns(tavelund::testing::fileText(record)).size(), 2u);
}

}  // namespace
}  // namespace tavelund::signals
