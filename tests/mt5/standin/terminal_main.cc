// mt5-standin: a trading terminal in miniature that runs the C++ build of
// TickwellPublisher.mq5 on one chart of bars read from a CSV file. Its own
// messages start with "[terminal]"; the program's Experts log goes to
// standard output as it is written.
//
// While it runs it follows a control file: each line appended to it is a
// command ("bar": the next bar of the file opens; "quit": the program is
// removed from the chart).
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <string_view>

#include "common/deadline.h"
#include "link/object_namespace.h"
#include "tests/mt5/standin/publisher.h"
#include "tools/feed_source.h"
#include "tools/stop_signal.h"

namespace {

const char kUsage[] =
    "usage: mt5-standin [options] BARS.csv\n"
    "  --symbol TEXT      the chart's symbol (default EURUSD)\n"
    "  --period CODE      the chart's period number (default 16408, D1)\n"
    "  --opened N         bars open at the start (default all); the last one is forming\n"
    "  --no-dlls          attach without \"Allow DLL imports\"\n"
    "  --digits N         decimals of the symbol's prices (default 5)\n"
    "  --set NAME=VALUE   an input: HistoryBars, TimerMilliseconds, PublishOnNewBar,\n"
    "                     ExportBarsCsv\n"
    "  --files DIR        the terminal's MQL5\\Files folder (default MQL5/Files here)\n"
    "  --control FILE     commands appended while it runs: bar, quit\n";

struct Options {
  mql5standin::Chart chart;
  long long opened = -1;
  bool dllImports = true;
  std::map<std::string, std::string> inputs;
  std::string control;
  std::string files;
  std::string path;
};

bool number(std::string_view text, long long& value) {
  try {
    std::size_t used = 0;
    value = std::stoll(std::string(text), &used);
    return used == text.size();
  } catch (...) {
    return false;
  }
}

std::string parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    long long n = 0;
    if (arg == "--symbol" && hasValue) {
      options.chart.symbol = argv[++i];
    } else if (arg == "--period" && hasValue && number(argv[i + 1], n)) {
      options.chart.period = static_cast<ENUM_TIMEFRAMES>(n);
      ++i;
    } else if (arg == "--digits" && hasValue && number(argv[i + 1], n) && n >= 0 && n <= 16) {
      options.chart.digits = static_cast<int>(n);
      ++i;
    } else if (arg == "--opened" && hasValue && number(argv[i + 1], n) && n >= 0) {
      options.opened = n;
      ++i;
    } else if (arg == "--no-dlls") {
      options.dllImports = false;
    } else if (arg == "--set" && hasValue) {
      const std::string setting = argv[++i];
      const auto equals = setting.find('=');
      if (equals == std::string::npos) return "--set needs NAME=VALUE";
      options.inputs[setting.substr(0, equals)] = setting.substr(equals + 1);
    } else if (arg == "--control" && hasValue) {
      options.control = argv[++i];
    } else if (arg == "--files" && hasValue) {
      options.files = argv[++i];
    } else if (!arg.empty() && arg[0] != '-' && options.path.empty()) {
      options.path = arg;
    } else {
      return "bad option " + std::string(arg);
    }
  }
  return options.path.empty() ? "no CSV file given" : "";
}

std::string applyInputs(const std::map<std::string, std::string>& inputs) {
  for (const auto& [name, value] : inputs) {
    long long n = 0;
    if (name == "PublishOnNewBar" && (value == "true" || value == "false")) {
      PublishOnNewBar = value == "true";
    } else if (name == "ExportBarsCsv" && (value == "true" || value == "false")) {
      ExportBarsCsv = value == "true";
    } else if (name == "HistoryBars" && number(value, n)) {
      HistoryBars = static_cast<int>(n);
    } else if (name == "TimerMilliseconds" && number(value, n)) {
      TimerMilliseconds = static_cast<int>(n);
    } else {
      return "no input " + name + " of that value: " + value;
    }
  }
  return {};
}

void say(const std::string& text) { std::cout << "[terminal] " << text << std::endl; }

// Reads the commands appended to the control file since the last call.
class ControlFile {
 public:
  explicit ControlFile(std::string path) : path_(std::move(path)) {}

  template <typename Handle>
  void poll(Handle handle) {
    if (path_.empty()) return;
    std::ifstream file(path_, std::ios::binary);
    if (!file) return;
    file.seekg(static_cast<std::streamoff>(consumed_));
    std::string line;
    while (std::getline(file, line) && !file.eof()) {
      consumed_ += line.size() + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      handle(line);
    }
  }

 private:
  std::string path_;
  std::size_t consumed_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string problem = parseOptions(argc, argv, options);
  if (!problem.empty()) {
    std::cerr << "mt5-standin: " << problem << "\n" << kUsage;
    return 2;
  }
  if (tavelund::refuseUnusableNamespace("mt5-standin", std::cerr)) return 2;
  tavelund::feed::BarsResult loaded = tavelund::feed::loadBars(options.path);
  if (!loaded.ok()) {
    std::cerr << "mt5-standin: " << loaded.error << "\n";
    return 2;
  }
  for (const auto& bar : loaded.bars) {
    MqlRates rates;
    rates.time =
        mql5standin::toDatetime(bar.year, bar.month, bar.day, bar.hour, bar.minute, bar.second);
    rates.open = bar.open;
    rates.high = bar.high;
    rates.low = bar.low;
    rates.close = bar.close;
    options.chart.bars.push_back(rates);
  }
  options.chart.opened =
      options.opened < 0 ? options.chart.bars.size() : static_cast<std::size_t>(options.opened);
  if (!options.files.empty())
    mql5standin::setFilesFolders(options.files, options.files + "/../Common/Files");
  mql5standin::reset(options.chart);
  mql5standin::allowDllImports(options.dllImports);
  mql5standin::echoExpertsLog(true);
  const std::string badInput = applyInputs(options.inputs);
  if (!badInput.empty()) {
    std::cerr << "mt5-standin: " << badInput << "\n";
    return 2;
  }
  tavelund::installStopHandler("mt5-standin");

  const int initResult = OnInit();
  if (initResult != INIT_SUCCEEDED) {
    say("OnInit returned " + std::to_string(initResult) + "; the program is removed");
    OnDeinit(REASON_INITFAILED);
    return 1;
  }
  say("running on " + mql5standin::chart().symbol + ", " +
      std::to_string(mql5standin::chart().opened) + " bars open");

  ControlFile control(options.control);
  bool quit = false;
  auto next = tavelund::MonotonicClock::now();
  while (!quit && !tavelund::stopRequested()) {
    // Commands are looked at every 20 ms while no timer runs.
    const int period = mql5standin::timerMilliseconds();
    next += std::chrono::milliseconds(period > 0 ? period : 20);
    tavelund::sleepUntil(next);
    const auto now = tavelund::MonotonicClock::now();
    if (next < now) next = now;  // no burst of timer events after a stall
    control.poll([&](const std::string& command) {
      if (command == "bar") {
        if (mql5standin::openNextBar()) {
          say("bar " + std::to_string(mql5standin::chart().opened) + " of " +
              std::to_string(mql5standin::chart().bars.size()) + " opened");
        } else {
          say("no more bars");
        }
      } else if (command == "quit") {
        quit = true;
      } else if (!command.empty()) {
        say("unknown command " + command);
      }
    });
    if (!quit && mql5standin::timerMilliseconds() > 0) OnTimer();
  }
  OnDeinit(REASON_REMOVE);
  say("removed");
  return 0;
}
