#include "tools/chart_options.h"

#include <charconv>
#include <iterator>
#include <string_view>
#include <vector>

#include "common/option_ranges.h"
#include "tools/command_line.h"

namespace tavelund::chart {

const char kBuildOptionsUsage[] =
    "  -p P          box of P percent of each column's start, 0 < P <= 50 (default 1)\n"
    "  -g SCALE      one price grid for the whole chart: a percent (1%), a box in price\n"
    "                units (0.0010, 25), trad (the traditional table) or atrN (N 1..1000)\n"
    "  -b N          reversal in boxes, 3..5 (default 3); 1..9 with -g\n"
    "  -e            each bar gives its open, its extreme farther from the open, its close;\n"
    "                with -g: each bar's high and low\n"
    "  -s N          columns shown, 1..300 (default 30)\n"
    "  -f N          decimals of the prices, 0..10 (default 5)\n";

const std::string kUsage =
    std::string(
        "usage: tickwell-chart [options] BARS.csv\n"
        "       tickwell-chart --scan [options] BARS.csv...\n"
        "Prints the point-and-figure chart of the bars as the viewer draws it.\n") +
    kBuildOptionsUsage +
    "  --offset N    the chart as it stood N points before the newest (default 0)\n"
    "  --signals     then every signal of the chart as CSV: time,column,side,kind,price\n"
    "  --analysis    then the analysis text (the viewer's P screen)\n"
    "  --svg FILE    also draw the chart as an SVG picture into FILE\n"
    "  --json        instead of the text, one JSON document: the settings, the columns,\n"
    "                the signals and the analysis (version 1)\n"
    "  --scan        one row per file instead: symbol, last price, status, newest signal,\n"
    "                trend line, objectives, next buy and sell signal prices (--json: an\n"
    "                array); exit 1 when any file fails (each is listed with its reason)\n"
    "  --only new    with --scan: only the files whose newest signal came in the newest bar\n"
    "  --help, --version\n"
    "Bars: any file tickwell-feed reads (the viewer's CSV save, daily bars, MT5 export).\n";

namespace {

bool wholeNumber(std::string_view text, int32_t& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  return fault == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool decimalNumber(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  return fault == std::errc() && end == text.data() + text.size() && !text.empty();
}

// An option's whole-number value; the error text, or an empty one.
std::string wholeValue(const char* name, const char* text, int32_t& out) {
  if (!text) return std::string(name) + " needs a number";
  if (!wholeNumber(text, out))
    return std::string(name) + " needs a whole number, not \"" + text + "\"";
  return {};
}

constexpr CommandOption kBuildOptions[] = {
    {nullptr, 'b', true}, {nullptr, 'e', false}, {nullptr, 's', true},
    {nullptr, 'f', true}, {nullptr, 'p', true},  {nullptr, 'g', true},
};
enum { kB, kE, kS, kF, kP, kG, kBuildCount };
static_assert(std::size(kBuildOptions) == kBuildCount);

}  // namespace

std::span<const CommandOption> buildOptionTable() { return kBuildOptions; }

std::string readBuildOption(size_t option, const char* value, Options& options) {
  int32_t n = 0;
  std::string problem;
  switch (option) {
    case kB:
      if ((problem = wholeValue("-b", value, n)).empty()) options.reversal = n;
      return problem;
    case kE:
      options.dataExpand = true;
      return {};
    case kS:
      if ((problem = wholeValue("-s", value, n)).empty())
        options.showColumns = kShowColumnsOption.within(n);
      return problem;
    case kF:
      if ((problem = wholeValue("-f", value, n)).empty()) options.digits = kDigitsOption.within(n);
      return problem;
    case kP: {
      double percent = 0;
      if (!value) return "-p needs a number";
      if (!decimalNumber(value, percent))
        return "-p needs a number, not \"" + std::string(value) + "\"";
      options.boxFraction = boxFractionOf(percent);
      return {};
    }
    default:
      if (!value) return "-g needs a scale";
      options.grid = parseGridScale(value, problem);
      return problem;
  }
}

void settleBuildOptions(Options& options) {
  // The reversal's range depends on the construction, which any option may
  // choose.
  options.reversal =
      (options.grid ? kGridReversalOption : kReversalOption).within(options.reversal);
}

Parsed parseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  static constexpr CommandOption kOwnOptions[] = {
      {"offset", 0, true},   {"signals", 0, false}, {"analysis", 0, false},
      {"svg", 0, true},      {"json", 0, false},    {"help", 'h', false},
      {"version", 0, false}, {"scan", 0, false},    {"only", 0, true},
  };
  enum { kOffset, kSignals, kAnalysis, kSvg, kJson, kHelp, kVersion, kScan, kOnly };
  std::vector<CommandOption> table(std::begin(kBuildOptions), std::end(kBuildOptions));
  table.insert(table.end(), std::begin(kOwnOptions), std::end(kOwnOptions));
  Parsed ending = Parsed::Run;
  CommandLineHandlers handlers;
  handlers.unknown = [](std::string_view given) { return "unknown option " + std::string(given); };
  handlers.option = [&](size_t option, const char* value) -> std::string {
    if (option < kBuildCount) return readBuildOption(option, value, options);
    int32_t n = 0;
    std::string problem;
    switch (option - kBuildCount) {
      case kOffset:
        if ((problem = wholeValue("--offset", value, n)).empty() && n < 0)
          problem = "--offset needs a number of points, 0 or more";
        if (problem.empty()) options.offset = n;
        return problem;
      case kSignals:
        options.signals = true;
        return {};
      case kAnalysis:
        options.analysis = true;
        return {};
      case kSvg:
        if (!value || value[0] == '\0') return "--svg needs a file name";
        options.svgPath = value;
        return {};
      case kJson:
        options.json = true;
        return {};
      case kScan:
        options.scan = true;
        return {};
      case kOnly:
        if (!value || std::string_view(value) != "new") return "--only takes \"new\"";
        options.onlyNew = true;
        return {};
      case kHelp:
        ending = Parsed::Help;
        return "help";
      default:
        ending = Parsed::Version;
        return "version";
    }
  };
  std::vector<std::string> operands;
  error = scanCommandLine(argc, const_cast<char**>(argv), table, handlers, operands);
  if (ending != Parsed::Run) {
    error.clear();
    return ending;
  }
  if (!error.empty()) return Parsed::Error;
  if (options.onlyNew && !options.scan) {
    error = "--only new goes with --scan";
    return Parsed::Error;
  }
  if (options.scan) {
    if (options.signals || options.analysis || !options.svgPath.empty()) {
      error = "--scan prints its own table: no --signals, --analysis or --svg with it";
      return Parsed::Error;
    }
    options.paths = operands;
  } else if (operands.size() > 1) {
    error = "only one file of bars, please";
    return Parsed::Error;
  }
  if (operands.empty()) {
    error = "no file of bars given";
    return Parsed::Error;
  }
  options.path = operands.front();
  settleBuildOptions(options);
  return Parsed::Run;
}

}  // namespace tavelund::chart
