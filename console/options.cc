#include "console/options.h"

#include <cstring>
#include <limits>
#include <stdexcept>

#include "common/option_ranges.h"

namespace tavelund {

int getopt(OptionScan& scan, int argc, const char* const* argv, const char* optionLetters,
           std::ostream& err) {
  scan.argument.clear();
  if (scan.endOfOptions) return -1;
  const char* program = argc > 0 && argv[0] ? argv[0] : "";
  if (scan.charIndex == 0) {
    // Elements that are not options are passed over; they count for nothing.
    while (scan.index < argc) {
      const char* element = argv[scan.index];
      if (element == nullptr) {
        scan.index = argc;
        break;
      }
      if (std::strcmp(element, "--") == 0) {
        ++scan.index;
        scan.endOfOptions = true;
        return -1;
      }
      if (element[0] == '-' && element[1] != '\0') {
        scan.charIndex = 1;
        break;
      }
      ++scan.index;
    }
    if (scan.index >= argc) {
      scan.endOfOptions = true;
      return -1;
    }
  }

  const char* element = argv[scan.index];
  const char letter = element[scan.charIndex++];
  const bool lastInElement = element[scan.charIndex] == '\0';
  const char* entry = letter != ':' ? std::strchr(optionLetters, letter) : nullptr;
  auto nextElement = [&] {
    ++scan.index;
    scan.charIndex = 0;
  };

  if (entry == nullptr) {
    err << program << ": invalid option -- " << letter << '\n';
    if (lastInElement) nextElement();
    return '?';
  }
  if (entry[1] != ':') {
    if (lastInElement) nextElement();
    return letter;
  }
  // The argument is the rest of this element, else the whole next one,
  // whatever it looks like.
  if (!lastInElement) {
    scan.argument = element + scan.charIndex;
    nextElement();
    return letter;
  }
  nextElement();
  if (scan.index < argc && argv[scan.index] != nullptr) {
    scan.argument = argv[scan.index];
    ++scan.index;
    return letter;
  }
  err << program << ": option requires an argument -- " << letter << '\n';
  return '?';
}

namespace {

enum class NumberFault { None, Invalid, OutOfRange };

// Read as the standard conversions read (leading blanks, sign, longest
// valid prefix); their failures become the fixed texts below.
NumberFault readWhole(const std::string& text, int32_t& value) {
  try {
    value = std::stoi(text);
    return NumberFault::None;
  } catch (const std::invalid_argument&) {
    return NumberFault::Invalid;
  } catch (const std::out_of_range&) {
    return NumberFault::OutOfRange;
  }
}

NumberFault readDecimal(const std::string& text, double& value) {
  try {
    value = std::stod(text);
    return NumberFault::None;
  } catch (const std::invalid_argument&) {
    return NumberFault::Invalid;
  } catch (const std::out_of_range&) {
    return NumberFault::OutOfRange;
  }
}

ParsedOptions reportFault(NumberFault fault, bool decimal, std::ostream& err) {
  if (fault == NumberFault::Invalid) {
    err << "Error: Invalid argument - "
        << (decimal ? "invalid stod argument" : "invalid stoi argument") << std::endl;
  } else {
    err << "Error: Out of range - "
        << (decimal ? "stod argument out of range" : "stoi argument out of range") << std::endl;
  }
  ParsedOptions parsed;
  parsed.endNow = true;
  parsed.exitCode = -1;
  return parsed;
}

// A page step of 1 or more is raised to a multiple of 3. The largest int
// values have no multiple of 3 above them inside int32; they take the
// largest one below instead of overflowing.
int32_t pageStep(int32_t value) {
  if (value < 1 || value % 3 == 0) return value;
  const int64_t raised = static_cast<int64_t>(value) + (3 - value % 3);
  if (raised > std::numeric_limits<int32_t>::max()) return value - value % 3;
  return static_cast<int32_t>(raised);
}

}  // namespace

ParsedOptions parseOptions(int argc, const char* const* argv, std::ostream& err) {
  std::string percent = "1.000000", reversal = "3", show = "30", digits = "5", scroll = "30";
  OptionValues values;
  OptionScan scan;
  std::string grid;
  bool gridGiven = false;
  for (int letter; (letter = getopt(scan, argc, argv, "m:f:s:b:p:r:g:eh", err)) != -1;) {
    switch (letter) {
      case 'm':
        values.modeGiven = true;
        break;
      case 'f':
        digits = scan.argument;
        break;
      case 's':
        show = scan.argument;
        break;
      case 'b':
        reversal = scan.argument;
        break;
      case 'p':
        percent = scan.argument;
        break;
      case 'r':
        scroll = scan.argument;
        break;
      case 'g':
        grid = scan.argument;
        gridGiven = true;
        break;
      case 'e':
        values.dataExpand = true;
        break;
      case 'h': {
        writeHelp(err);
        ParsedOptions parsed;
        parsed.endNow = true;
        parsed.exitCode = -1;
        return parsed;
      }
      default:
        break;  // message written; the scan goes on
    }
  }

  // Checked in this order; the first bad number ends the run.
  double percentValue = 0;
  if (auto fault = readDecimal(percent, percentValue); fault != NumberFault::None) {
    return reportFault(fault, true, err);
  }
  values.boxFraction = boxFractionOf(percentValue);
  if (gridGiven) {
    std::string reason;
    values.grid = parseGridScale(grid, reason);
    if (!values.grid) {
      err << "Error: Invalid argument - " << reason << std::endl;
      ParsedOptions parsed;
      parsed.endNow = true;
      parsed.exitCode = -1;
      return parsed;
    }
  }
  int32_t number = 0;
  if (auto fault = readWhole(reversal, number); fault != NumberFault::None) {
    return reportFault(fault, false, err);
  }
  values.reversal = (values.grid ? kGridReversalOption : kReversalOption).within(number);
  if (auto fault = readWhole(show, number); fault != NumberFault::None) {
    return reportFault(fault, false, err);
  }
  values.showColumns = kShowColumnsOption.within(number);
  if (auto fault = readWhole(digits, number); fault != NumberFault::None) {
    return reportFault(fault, false, err);
  }
  values.digits = kDigitsOption.within(number);
  if (auto fault = readWhole(scroll, number); fault != NumberFault::None) {
    return reportFault(fault, false, err);
  }
  values.scrollBack = pageStep(number);

  ParsedOptions parsed;
  parsed.values = values;
  return parsed;
}

void applyOptions(const OptionValues& values, ChartSettings& settings) {
  settings.reversal = values.reversal;
  settings.boxFraction = values.boxFraction;
  settings.grid = values.grid;
  settings.showColumns = values.showColumns;
  settings.dataExpand = values.dataExpand;
  settings.digits = values.digits;
  settings.scrollBack = values.scrollBack;
}

const std::vector<std::string>& helpTextLinesUtf8() {
  static const std::vector<std::string> lines = {
      "",
      "HELP",
      "        -h    : ヘルプ",
      "",
      "Percent",
      "        -p <パーセント:(1.0% -> 1.0)>",
      "",
      "Change Boxs",
      "        -b <Default 3枠転換:(3)>",
      "",
      "Data Expand (Open -> High or Low -> Close)",
      "        -e",
      "",
      "Show Console",
      "        -s <表示数: 20>",
      "",
      "小数点以下の桁数",
      "        -f <桁数(省略自動): (-1)>",
      "",
      "Scroll Back",
      "        -r < 1  <->  600 >",
      "",
  };
  return lines;
}

const std::vector<std::string>& helpTextLinesCp932() {
  // The same lines in Shift-JIS bytes, spelled out so that no conversion
  // table of the running machine is needed.
  static const std::vector<std::string> lines = {
      "",
      "HELP",
      "        -h    : \x83\x77\x83\x8b\x83\x76",
      "",
      "Percent",
      "        -p <\x83\x70\x81\x5b\x83\x5a\x83\x93\x83\x67:(1.0% -> 1.0)>",
      "",
      "Change Boxs",
      "        -b <Default 3\x98\x67\x93\x5d\x8a\xb7:(3)>",
      "",
      "Data Expand (Open -> High or Low -> Close)",
      "        -e",
      "",
      "Show Console",
      "        -s <\x95\x5c\x8e\xa6\x90\x94: 20>",
      "",
      "\x8f\xac\x90\x94\x93\x5f\x88\xc8\x89\xba\x82\xcc\x8c\x85\x90\x94",
      "        -f <\x8c\x85\x90\x94(\x8f\xc8\x97\xaa\x8e\xa9\x93\xae): (-1)>",
      "",
      "Scroll Back",
      "        -r < 1  <->  600 >",
      "",
  };
  return lines;
}

const std::vector<std::string>& helpTextLines() {
#if defined(_WIN32)
  return helpTextLinesCp932();
#else
  return helpTextLinesUtf8();
#endif
}

void writeHelp(std::ostream& err) {
  for (const std::string& line : helpTextLines()) err << line << std::endl;
}

}  // namespace tavelund
