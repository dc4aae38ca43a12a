#pragma once
// The command line of tickwell-signals: the chart options of tickwell-chart
// (its own table and reader), what to print, how to wait and ask, and the
// program that --exec runs for each signal.
#include <string>
#include <vector>

#include "tools/chart_options.h"

namespace tavelund::signals {

struct Options {
  chart::Options chart;             // -p, -g, -b, -e, -s, -f as tickwell-chart reads them
  bool json = false;                // --json: one JSON object per line instead of CSV
  bool history = false;             // --history: also the signals of the starting chart
  bool status = false;              // --status: the status line of the chart, then end
  long long askSeconds = 0;         // --ask: ask for a fresh batch this often (0: never)
  long long waitSeconds = -1;       // --wait: how long to wait for a first batch (-1: no limit)
  long long count = 0;              // --count: end after this many signals (0: never)
  long long execLimitSeconds = 30;  // --exec-limit
  std::vector<std::string> exec;    // --exec PROGRAM [ARG...] --
};

// The ranges of the numbers.
inline constexpr long long kMaxAskSeconds = 86400;       // a day
inline constexpr long long kMaxWaitSeconds = 86400;      // a day
inline constexpr long long kMaxExecLimitSeconds = 3600;  // an hour

// On Error, `error` says what is wrong.
chart::Parsed parseOptions(int argc, const char* const* argv, Options& options, std::string& error);

extern const std::string kUsage;

}  // namespace tavelund::signals
