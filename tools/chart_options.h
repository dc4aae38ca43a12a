#pragma once
// The command line of tickwell-chart: the viewer's chart options (-p, -g,
// -b, -e, -s, -f, with the viewer's ranges: a value outside them is taken as
// the viewer's default) and the printer's own.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/grid_scale.h"

namespace tavelund::chart {

struct Options {
  double boxFraction = 0.01;      // -p P: P / 100
  std::optional<GridScale> grid;  // -g SCALE
  int32_t reversal = 3;           // -b 3..5, 1..9 with -g
  bool dataExpand = false;        // -e
  int32_t showColumns = 30;       // -s 1..300
  int32_t digits = 5;             // -f 0..10
  int32_t offset = 0;             // --offset: points back from the newest
  bool signals = false;           // --signals
  bool analysis = false;          // --analysis
  bool json = false;              // --json: the JSON document instead of the text
  std::string svgPath;            // --svg FILE
  std::string path;               // the bars
  bool scan = false;              // --scan: a row for each of `paths`
  std::vector<std::string> paths;
  bool onlyNew = false;  // --only new
};

enum class Parsed { Run, Help, Version, Error };

// On Error, `error` says what is wrong.
Parsed parseOptions(int argc, const char* const* argv, Options& options, std::string& error);

extern const char kUsage[];

}  // namespace tavelund::chart
