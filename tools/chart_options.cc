#include "tools/chart_options.h"

#include <charconv>
#include <string_view>

#include "common/option_ranges.h"

namespace tavelund::chart {

const char kUsage[] =
    "usage: tickwell-chart [options] BARS.csv\n"
    "Prints the point-and-figure chart of the bars as the viewer draws it.\n"
    "  -p P          box of P percent of each column's start, 0 < P <= 50 (default 1)\n"
    "  -g SCALE      one price grid for the whole chart: a percent (1%), a box in price\n"
    "                units (0.0010, 25), trad (the traditional table) or atrN (N 1..1000)\n"
    "  -b N          reversal in boxes, 3..5 (default 3); 1..9 with -g\n"
    "  -e            each bar gives its open, its extreme farther from the open, its close;\n"
    "                with -g: each bar's high and low\n"
    "  -s N          columns shown, 1..300 (default 30)\n"
    "  -f N          decimals of the prices, 0..10 (default 5)\n"
    "  --offset N    the chart as it stood N points before the newest (default 0)\n"
    "  --signals     then every signal of the chart as CSV: time,column,side,kind,price\n"
    "  --analysis    then the analysis text (the viewer's P screen)\n"
    "  --svg FILE    also draw the chart as an SVG picture into FILE\n"
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

}  // namespace

Parsed parseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    // "-b 4" and "-b4" alike.
    auto value = [&](std::string_view name, int32_t& out) -> bool {
      std::string_view text;
      if (arg.size() > name.size()) {
        text = arg.substr(name.size());
      } else if (i + 1 < argc) {
        text = argv[++i];
      } else {
        error = std::string(name) + " needs a number";
        return false;
      }
      if (!wholeNumber(text, out)) {
        error = std::string(name) + " needs a whole number, not \"" + std::string(text) + "\"";
        return false;
      }
      return true;
    };
    auto starts = [&](std::string_view name) {
      return arg.substr(0, name.size()) == name && name.size() == 2;
    };
    // "-p 2.5", "-g trad" and "-p2.5", "-gtrad" alike.
    auto text = [&](std::string_view name, std::string_view what, std::string_view& out) {
      if (arg.size() > name.size()) {
        out = arg.substr(name.size());
      } else if (i + 1 < argc) {
        out = argv[++i];
      } else {
        error = std::string(name) + " needs " + std::string(what);
        return false;
      }
      return true;
    };
    int32_t n = 0;
    std::string_view given;
    if (arg == "--help" || arg == "-h") return Parsed::Help;
    if (arg == "--version") return Parsed::Version;
    if (arg == "-e") {
      options.dataExpand = true;
    } else if (starts("-b")) {
      if (!value("-b", n)) return Parsed::Error;
      options.reversal = n;
    } else if (starts("-s")) {
      if (!value("-s", n)) return Parsed::Error;
      options.showColumns = kShowColumnsOption.within(n);
    } else if (starts("-f")) {
      if (!value("-f", n)) return Parsed::Error;
      options.digits = kDigitsOption.within(n);
    } else if (starts("-p")) {
      double percent = 0;
      if (!text("-p", "a number", given)) return Parsed::Error;
      if (!decimalNumber(given, percent)) {
        error = "-p needs a number, not \"" + std::string(given) + "\"";
        return Parsed::Error;
      }
      options.boxFraction = boxFractionOf(percent);
    } else if (starts("-g")) {
      if (!text("-g", "a scale", given)) return Parsed::Error;
      options.grid = parseGridScale(given, error);
      if (!options.grid) return Parsed::Error;
    } else if (arg == "--offset") {
      if (!value("--offset", n) || n < 0) {
        if (error.empty()) error = "--offset needs a number of points, 0 or more";
        return Parsed::Error;
      }
      options.offset = n;
    } else if (arg == "--signals") {
      options.signals = true;
    } else if (arg == "--analysis") {
      options.analysis = true;
    } else if (arg == "--svg") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        error = "--svg needs a file name";
        return Parsed::Error;
      }
      options.svgPath = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + std::string(arg);
      return Parsed::Error;
    } else if (options.path.empty()) {
      options.path = arg;
    } else {
      error = "only one file of bars, please";
      return Parsed::Error;
    }
  }
  if (options.path.empty()) {
    error = "no file of bars given";
    return Parsed::Error;
  }
  // The reversal's range depends on the construction, which any option may
  // choose.
  options.reversal =
      (options.grid ? kGridReversalOption : kReversalOption).within(options.reversal);
  return Parsed::Run;
}

}  // namespace tavelund::chart
