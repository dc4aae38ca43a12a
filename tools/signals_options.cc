#include "tools/signals_options.h"

#include <iterator>
#include <limits>
#include <string_view>

#include "common/printable.h"
#include "tools/command_line.h"
#include "tools/option_number.h"

namespace tavelund::signals {

const std::string kUsage =
    std::string(
        "usage: tickwell-signals [options] [--exec PROGRAM [ARG...] --]\n"
        "Watches the channels as a reader and writes one line for each signal that a\n"
        "published batch completes, flushed at once: CSV with the header\n"
        "time,symbol,timeframe,column,side,kind,price, or JSON. The first batch seen is the\n"
        "starting chart; its signals are not written (see --history).\n"
        "The chart, as tickwell-chart builds it:\n") +
    chart::kBuildOptionsUsage +
    "  --json              one JSON object per line instead of CSV\n"
    "  --history           also write the signals that the starting chart holds\n"
    "  --ask SECONDS       ask for a fresh batch every SECONDS (1 to 86400), as U in the\n"
    "                      viewer does (default: never ask, only follow)\n"
    "  --wait SECONDS      end with 1 when no batch is published within SECONDS (0 to 86400;\n"
    "                      default: wait until Ctrl-C, with --status 0)\n"
    "  --count N           end after N signal lines (default 0: run until Ctrl-C)\n"
    "  --status            print the status line of the chart (BUY SIGNAL since ..., SELL\n"
    "                      SIGNAL since ..., NO SIGNAL) and end\n"
    "  --exec PROGRAM [ARG...] --\n"
    "                      run PROGRAM with its ARGs once for each signal, never through a\n"
    "                      shell; the signal is in its environment: TICKWELL_SYMBOL,\n"
    "                      TICKWELL_TIMEFRAME, TICKWELL_SIDE, TICKWELL_KIND, TICKWELL_PRICE,\n"
    "                      TICKWELL_TIME. Its output goes to standard error.\n"
    "  --exec-limit SECONDS  end a program still running after SECONDS (1 to 3600,\n"
    "                      default 30)\n"
    "  --help, --version\n";

namespace {

constexpr std::string_view kExec = "--exec";

// The words of --exec are the program's, not this tool's: they are taken
// out before the scan. Returns the error text, or an empty one.
std::string takeExec(int argc, const char* const* argv, std::vector<const char*>& rest,
                     std::vector<std::string>& exec) {
  bool seen = false;
  for (int i = 0; i < argc; ++i) {
    const std::string_view word = argv[i] ? argv[i] : "";
    const bool execWord = i > 0 && (word == kExec || word.starts_with("--exec="));
    if (!execWord) {
      rest.push_back(argv[i]);
      // After "--" nothing is an option, so neither is a later --exec.
      if (i > 0 && word == "--") {
        rest.insert(rest.end(), argv + i + 1, argv + argc);
        break;
      }
      continue;
    }
    if (seen) return "only one --exec, please";
    seen = true;
    if (word == kExec) {
      if (++i >= argc) return "--exec needs a program";
      exec.emplace_back(argv[i]);
    } else {
      exec.emplace_back(word.substr(kExec.size() + 1));
    }
    if (exec.front().empty()) return "--exec needs a program";
    // Its arguments run up to "--" or the end of the line.
    while (++i < argc && std::string_view(argv[i]) != "--") exec.emplace_back(argv[i]);
  }
  return {};
}

}  // namespace

chart::Parsed parseOptions(int argc, const char* const* argv, Options& options,
                           std::string& error) {
  using chart::Parsed;
  std::vector<const char*> args;
  error = takeExec(argc, argv, args, options.exec);
  if (!error.empty()) return Parsed::Error;

  static constexpr CommandOption kOwnOptions[] = {
      {"json", 0, false},
      {"history", 0, false},
      {"ask", 0, true},
      {"wait", 0, true},
      {"count", 0, true},
      {"status", 0, false},
      {"exec-limit", 0, true},
      {"help", 'h', false},
      {"version", 0, false},
      // Only so that a shortened "--exe" is not taken for --exec-limit.
      {"exec", 0, true},
  };
  enum { kJson, kHistory, kAsk, kWait, kCount, kStatus, kExecLimit, kHelp, kVersion };
  const std::span<const CommandOption> build = chart::buildOptionTable();
  std::vector<CommandOption> table(build.begin(), build.end());
  table.insert(table.end(), std::begin(kOwnOptions), std::end(kOwnOptions));

  Parsed ending = Parsed::Run;
  CommandLineHandlers handlers;
  handlers.unknown = [](std::string_view given) {
    return "unknown option " + printable(given.substr(0, 80));
  };
  handlers.option = [&](size_t option, const char* value) -> std::string {
    if (option < build.size()) return chart::readBuildOption(option, value, options.chart);
    auto number = [&](long long low, long long high, long long& out) {
      return value && optionNumber(value, low, high, out);
    };
    switch (option - build.size()) {
      case kJson:
        options.json = true;
        return {};
      case kHistory:
        options.history = true;
        return {};
      case kAsk:
        if (number(1, kMaxAskSeconds, options.askSeconds)) return {};
        return "--ask needs seconds from 1 to 86400 (a day)";
      case kWait:
        if (number(0, kMaxWaitSeconds, options.waitSeconds)) return {};
        return "--wait needs seconds from 0 to 86400 (a day)";
      case kCount:
        if (number(0, std::numeric_limits<long long>::max(), options.count)) return {};
        return "--count needs a number of signals, 0 or more";
      case kStatus:
        options.status = true;
        return {};
      case kExecLimit:
        if (number(1, kMaxExecLimitSeconds, options.execLimitSeconds)) return {};
        return "--exec-limit needs seconds from 1 to 3600 (an hour)";
      case kHelp:
        ending = Parsed::Help;
        return "help";
      case kVersion:
        ending = Parsed::Version;
        return "version";
      default:
        return "--exec needs a program";
    }
  };
  std::vector<std::string> operands;
  error = scanCommandLine(static_cast<int>(args.size()), const_cast<char**>(args.data()), table,
                          handlers, operands);
  if (ending != Parsed::Run) {
    error.clear();
    return ending;
  }
  if (error.empty() && !operands.empty())
    error =
        "no operand is taken, not " + printable(std::string_view(operands.front()).substr(0, 80));
  if (error.empty() && options.status &&
      (!options.exec.empty() || options.askSeconds > 0 || options.count > 0 || options.history ||
       options.json))
    error = "--status prints one line: it takes only the chart options and --wait";
  if (!error.empty()) return Parsed::Error;
  chart::settleBuildOptions(options.chart);
  return Parsed::Run;
}

}  // namespace tavelund::signals
