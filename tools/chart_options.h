#pragma once
// The command line of tickwell-chart: the viewer's chart options (-p, -g,
// -b, -e, -s, -f, with the viewer's ranges: a value outside them is taken as
// the viewer's default) and the printer's own.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/grid_scale.h"
#include "tools/command_line.h"

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

extern const std::string kUsage;

// The options that say how the chart is built (-b, -e, -s, -f, -p, -g),
// for every tool that builds one: their part of a command-line table, the
// reading of one of them (by its position in that part; an empty text takes
// it), their lines of the help, and the step after the scan that puts the
// reversal into the range of the construction chosen.
std::span<const CommandOption> buildOptionTable();
std::string readBuildOption(size_t option, const char* value, Options& options);
extern const char kBuildOptionsUsage[];
void settleBuildOptions(Options& options);

}  // namespace tavelund::chart
