#pragma once
// The viewer's command line: its own option scanner (the messages and the
// argument rules are fixed, so the C library's getopt does not serve) and
// the checks that turn the options into run settings.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/chart_settings.h"

namespace tavelund {

// Scanner state, reset by parseOptions before each scan.
struct OptionScan {
  int index = 1;         // next element of argv to look at
  int charIndex = 0;     // position inside a grouped element (-eb4)
  std::string argument;  // argument of the option just returned
  bool endOfOptions = false;
};

// POSIX-style scan over "m:f:s:b:p:r:eh"-like letter lists. Returns the
// option letter, '?' for an unknown letter or a missing argument (after
// writing the message to `err`), or -1 when no option is left. Elements
// that are not options are skipped (they are moved behind the options and
// ignored); "--" ends the scan.
int getopt(OptionScan& scan, int argc, const char* const* argv, const char* optionLetters,
           std::ostream& err);

struct OptionValues {
  double boxFraction = 0.01;      // -p P: P / 100
  std::optional<GridScale> grid;  // -g SCALE
  int32_t reversal = 3;
  int32_t showColumns = 30;
  bool dataExpand = false;
  int32_t digits = 5;
  int32_t scrollBack = 30;
  bool modeGiven = false;  // -m: end at once with 0
};

// What the start sequence does with the command line.
struct ParsedOptions {
  bool endNow = false;  // help or a bad number: end with exitCode
  int exitCode = 0;
  OptionValues values;
};

// Scans and checks the options; every message (getopt's, help, bad
// numbers) goes to `err`. Never ends the process itself.
ParsedOptions parseOptions(int argc, const char* const* argv, std::ostream& err);

// Writes the option values into the run settings.
void applyOptions(const OptionValues& values, ChartSettings& settings);

// The help text lines, in the bytes of the console's code page: code page
// 932 on Windows, UTF-8 elsewhere.
const std::vector<std::string>& helpTextLines();
// Both forms, for tests.
const std::vector<std::string>& helpTextLinesUtf8();
const std::vector<std::string>& helpTextLinesCp932();

void writeHelp(std::ostream& err);

}  // namespace tavelund
