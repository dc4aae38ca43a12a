#include "tools/chart_options.h"

#include <charconv>
#include <string_view>

namespace tavelund::chart {

const char kUsage[] =
    "usage: tickwell-chart [options] BARS.csv\n"
    "Prints the point-and-figure chart of the bars as the viewer draws it.\n"
    "  -b N          reversal in boxes, 3..5 (default 3)\n"
    "  -e            each bar gives its open, its extreme farther from the open, its close\n"
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
    int32_t n = 0;
    if (arg == "--help" || arg == "-h") return Parsed::Help;
    if (arg == "--version") return Parsed::Version;
    if (arg == "-e") {
      options.dataExpand = true;
    } else if (starts("-b")) {
      if (!value("-b", n)) return Parsed::Error;
      options.reversal = n >= 3 && n <= 5 ? n : 3;
    } else if (starts("-s")) {
      if (!value("-s", n)) return Parsed::Error;
      options.showColumns = n >= 1 && n <= 300 ? n : 30;
    } else if (starts("-f")) {
      if (!value("-f", n)) return Parsed::Error;
      options.digits = n >= 0 && n <= 10 ? n : 5;
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
  return Parsed::Run;
}

}  // namespace tavelund::chart
