#pragma once
// The timeline conversion written the plain way: every line split into
// strings, the date matched with std::regex, the numbers read with std::stoi
// and std::stof. It is the yardstick for the benchmark and the reference
// that the equivalence test holds the hand-written matcher to.
#include <cmath>
#include <regex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/split.h"
#include "intake/minute_text.h"
#include "intake/tick_intake.h"

namespace tavelund::literal {

inline const std::regex& datePattern() {
  static const std::regex pattern(
      R"(([0-9]+)\/([0-9]+)\/([0-9 \:]+) ([0-9]+)\:([0-9]+)\:([0-9]+)\.([0-9]+))");
  return pattern;
}

// The line's minute text refers to `minuteText`.
inline bool parseLine(const std::string& piece, TimelineLine& line, std::string& minuteText) {
  const std::vector<std::string> fields = splitText(piece, ",");
  if (fields.size() == 1) return false;
  std::smatch match;
  if (!std::regex_match(fields[0], match, datePattern())) return false;
  try {
    line.year = std::stoi(match[1].str());
    line.month = std::stoi(match[2].str());
    line.day = std::stoi(match[3].str());
    line.hour = std::stoi(match[4].str());
    line.minute = std::stoi(match[5].str());
    if (fields.size() < 5) return false;
    line.open = std::stof(fields[1]);
    line.high = std::stof(fields[2]);
    line.low = std::stof(fields[3]);
    line.close = std::stof(fields[4]);
  } catch (const std::invalid_argument&) {
    return false;
  } catch (const std::out_of_range&) {
    return false;
  }
  // Prices that no chart can be drawn from make no record.
  for (double price : {line.open, line.high, line.low, line.close})
    if (!(price > 0) || !std::isfinite(price)) return false;
  line.minuteKey =
      ((((static_cast<int64_t>(line.year) * 100 + line.month) * 100 + line.day) * 100 + line.hour) *
           100 +
       line.minute);
  minuteText = match[1].str() + "/" + match[2].str() + "/" + match[3].str() + " " + match[4].str() +
               ":" + match[5].str();
  if (minuteText.size() > kLongestMinuteText) return false;  // no producer writes it
  line.minuteText = minuteText;
  return true;
}

// The same; the minute text lasts until the next call on this thread.
inline bool parseLine(const std::string& piece, TimelineLine& line) {
  thread_local std::string minuteText;
  return parseLine(piece, line, minuteText);
}

// What the full conversion makes: a record per price line and the points
// of each, kept as plain copies.
struct Conversion {
  size_t records = 0;
  CopiedPoints points;
};

// The full conversion, without progress output.
inline void convertAll(Conversion& out, std::string_view text, bool expand) {
  const std::vector<std::string> pieces = splitText(text, "\n");
  std::string minuteText;
  for (const std::string& piece : pieces) {
    TimelineLine line;
    if (!parseLine(piece, line, minuteText)) continue;
    const auto recordIndex = static_cast<int32_t>(out.records++);
    auto add = [&](int32_t kind, double price) {
      out.points.append(PricePoint{static_cast<int32_t>(out.points.size()), minuteText,
                                   line.minuteKey, kind, price, recordIndex});
    };
    if (expand) {
      add(1, line.open);
      if (std::fabs(line.open - line.high) > std::fabs(line.open - line.low))
        add(2, line.high);
      else
        add(3, line.low);
    }
    add(4, line.close);
  }
}

}  // namespace tavelund::literal
