// tickwell-feed: plays the MT5 side from a CSV file of bars, so the viewer
// can be run and tested without a trading terminal.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/deadline.h"
#include "common/version.h"
#include "link/object_namespace.h"
#include "link/tickwell.h"
#include "tools/feed_source.h"
#include "tools/command_line.h"
#include "tools/option_number.h"
#include "tools/stop_signal.h"
#include "tools/time_frames.h"

using namespace tavelund;

namespace {

const char kUsage[] =
    "usage: tickwell-feed [options] BARS.csv\n"
    "Plays the MT5 side: publishes the bars of a CSV file through the link library.\n"
    "  --symbol TEXT      symbol name to publish (default SP500)\n"
    "  --timeframe TF     time frame, as its MT5 code or its label (default 16408, D1;\n"
    "                     table below)\n"
    "  --first N          bars in the first batch (default 300)\n"
    "  --add N            bars added for each request (default 1)\n"
    "  --live STEPS       the newest bar forms over STEPS publishes (default off)\n"
    "  --interval MS      also publish unasked every MS milliseconds, 0 to 86400000\n"
    "                     (default 0: only on request)\n"
    "  --requests N       end after answering N requests (default 0: run until Ctrl-C)\n"
    "  --poll MS          how often the send flag is checked, 1 to 60000 (default 20)\n"
    "  --version          print the version and end\n";

const char kForms[] =
    "\n"
    "CSV forms, told apart by the header line (columns found by name, any case, any order):\n"
    "  date,open,high,low,close                  the viewer's CSV save (newest first is fine)\n"
    "  date,open,high,low,close,adjclose,volume  daily bars\n"
    "  <DATE> <TIME> <OPEN> <HIGH> <LOW> <CLOSE> ...  the MT5 terminal's export, tab-separated\n"
    "Dates 2024-03-05, 2024/03/05 or 2024.03.05, optionally with a time hh:mm[:ss[.mmm]] in\n"
    "the same field; LF or CR LF line ends; UTF-8 or ASCII; at most 512 MiB.\n"
    "Every bar is published at its minute (seconds and milliseconds 0), oldest first; rows of\n"
    "one minute become one bar: first open, highest high, lowest low, last close.\n"
    "Prices must reach the viewer intact: above zero, at most the largest single-precision\n"
    "float (about 3.4e38; the viewer reads prices as floats), and shown by the link's 5\n"
    "decimals within 1 part in 10000 (|5-decimal text - price| <= price / 10000; always so\n"
    "from 0.05 up, never for 0.000001). Each bar's high is at least its open, close and low,\n"
    "its low at most its open and close. A file that breaks this is refused with its line.\n"
    "\n"
    "Time frames (--timeframe takes the code or the label):\n";

constexpr long long kMaxIntervalMs = 86400000;  // a day
constexpr long long kMaxPollMs = 60000;         // a minute

struct Options {
  std::string symbol = "SP500";
  int timeFrame = 16408;
  feed::PlanOptions plan;
  long long intervalMs = 0;
  long long requests = 0;
  long long pollMs = 20;
  std::string path;
};

// Returns an error text, or an empty one when the options are good.
std::string parseOptions(int argc, char** argv, Options& options) {
  constexpr long long kAny = std::numeric_limits<long long>::max();
  static constexpr CommandOption kOptions[] = {
      {"symbol", 0, true},  {"timeframe", 0, true}, {"first", 0, true},    {"add", 0, true},
      {"live", 0, true},    {"interval", 0, true},  {"requests", 0, true}, {"poll", 0, true},
      {"help", 'h', false}, {"version", 0, false},
  };
  std::string ending;
  CommandLineHandlers handlers;
  handlers.unknown = [](std::string_view given) {
    return "unknown option " + feed::quotedInput(given);
  };
  handlers.option = [&](size_t option, const char* value) -> std::string {
    long long n = 0;
    auto number = [&](long long low, long long high, long long& out) {
      return value && optionNumber(value, low, high, out);
    };
    switch (option) {
      case 0:
        if (!value) return "--symbol needs a symbol name";
        options.symbol = value;
        return {};
      case 1: {
        const auto code = value ? feed::parseTimeFrame(value) : std::nullopt;
        if (!code) return "--timeframe needs a time-frame label (D1, H4, ...) or a 32-bit code";
        options.timeFrame = *code;
        return {};
      }
      case 2:
        if (!number(1, kAny, n)) return "--first needs a number of at least 1";
        options.plan.firstBatch = static_cast<size_t>(n);
        return {};
      case 3:
        if (!number(1, kAny, n)) return "--add needs a number of at least 1";
        options.plan.perRequest = static_cast<size_t>(n);
        return {};
      case 4:
        if (!number(0, 1000000, n)) return "--live needs a number of steps (0 to 1000000)";
        options.plan.liveSteps = static_cast<int>(n);
        return {};
      case 5:
        if (!number(0, kMaxIntervalMs, options.intervalMs))
          return "--interval needs milliseconds from 0 to 86400000 (a day)";
        return {};
      case 6:
        if (!number(0, kAny, options.requests)) return "--requests needs a count (0 or more)";
        return {};
      case 7:
        if (!number(1, kMaxPollMs, options.pollMs))
          return "--poll needs milliseconds from 1 to 60000 (a minute)";
        return {};
      case 8:
        return ending = "help";
      default:
        return ending = "version";
    }
  };
  std::vector<std::string> operands;
  const std::string problem = scanCommandLine(argc, argv, kOptions, handlers, operands);
  if (!ending.empty()) return ending;
  if (!problem.empty()) return problem;
  if (operands.size() > 1) return "only one CSV file, please";
  if (operands.empty()) return "no CSV file given";
  options.path = operands.front();
  return {};
}

// A batch in the order the viewer relies on: every line, the publish, the
// send time, and only then the flag.
bool publish(const feed::BatchPlan& plan) {
  const auto bars = plan.batch();
  for (const auto& bar : bars) {
    lineSendTimeLineMT5(bar.year, bar.month, bar.day, bar.hour, bar.minute, bar.second,
                        bar.millisecond, bar.open, bar.high, bar.low, bar.close);
  }
  if (completeSendticksMT5() == 0) return false;
  setsendtimeNowMT5();
  int ready = 1;
  setsendcheckMT5(&ready);
  std::cout << "published " << bars.size() << " bars, newest " << timelineLine(bars.back());
  std::cout.flush();
  return true;
}

int run(int argc, char** argv) {
  Options options;
  const std::string problem = parseOptions(argc, argv, options);
  if (problem == "help") {
    std::cout << kUsage << kForms << feed::timeFrameTable();
    return 0;
  }
  if (problem == "version") {
    std::cout << "tickwell-feed " << kVersion << "\n";
    return 0;
  }
  if (!problem.empty()) {
    std::cerr << "tickwell-feed: " << problem << "\n" << kUsage;
    return 2;
  }
  if (refuseUnusableNamespace("tickwell-feed", std::cerr)) return 2;
  installStopHandler("tickwell-feed");
  feed::BarsResult loaded = [&] {
    // Nothing is held yet, and opening a FIFO waits for its writer where no
    // flag is looked at: a stop meanwhile ends the feed at once.
    const StopEndsAtOnce nothingHeldYet;
    return feed::loadBars(options.path);
  }();
  if (!loaded.ok()) {
    std::cerr << "tickwell-feed: " << loaded.error << "\n";
    return 1;
  }
  if (stopRequested()) {
    std::cout << "tickwell-feed: stopped" << std::endl;
    return 0;
  }
  if (!preInitSendticksMT5()) {
    std::cerr << "tickwell-feed: the channels are in use (another feed or a viewer holds them, "
                 "or another user made objects of their names)\n";
    return 3;
  }
  initSendticksMT5();
  setsymbolcMT5(options.symbol.c_str());
  settimespanMT5(&options.timeFrame);

  feed::BatchPlan plan(std::move(loaded.bars), options.plan);
  int status = 0;
  if (!publish(plan)) {
    std::cerr << "tickwell-feed: the timeline channel is missing; nothing published\n";
    status = 1;
  }
  const auto period = std::chrono::milliseconds(options.pollMs);
  auto next = MonotonicClock::now();
  auto nextUnasked = next + std::chrono::milliseconds(options.intervalMs);
  long long answered = 0;
  while (status == 0 && !stopRequested()) {
    next += period;
    sleepUntilOrStop(next);
    if (stopRequested()) break;
    const auto now = MonotonicClock::now();
    if (next < now - period) next = now;  // do not race to catch up after a stall
    const bool asked = getSendCheckMT5() == 0;
    const bool due = options.intervalMs > 0 && now >= nextUnasked;
    if (!asked && !due) continue;
    plan.advance();
    if (!publish(plan)) {
      std::cerr << "tickwell-feed: publishing failed\n";
      status = 1;
    }
    if (due) nextUnasked = now + std::chrono::milliseconds(options.intervalMs);
    if (asked && options.requests > 0 && ++answered >= options.requests) break;
  }
  deinitSendticksMT5();
  std::cout << "tickwell-feed: stopped" << std::endl;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    // Nothing of the channels is half-written: a batch is published whole
    // or not at all, and the system drops the channels with the process.
    std::cerr << "tickwell-feed: out of memory (the bars of the file do not fit)\n";
    return 1;
  }
}
