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

// The record's minute text refers to `minuteText`.
inline bool parseLine(const std::string& piece, PriceRecord& record, std::string& minuteText) {
  const std::vector<std::string> fields = splitText(piece, ",");
  if (fields.size() == 1) return false;
  std::smatch match;
  if (!std::regex_match(fields[0], match, datePattern())) return false;
  try {
    record.year = std::stoi(match[1].str());
    record.month = std::stoi(match[2].str());
    record.day = std::stoi(match[3].str());
    record.hour = std::stoi(match[4].str());
    record.minute = std::stoi(match[5].str());
    if (fields.size() < 5) return false;
    record.open = std::stof(fields[1]);
    record.high = std::stof(fields[2]);
    record.low = std::stof(fields[3]);
    record.close = std::stof(fields[4]);
  } catch (const std::invalid_argument&) {
    return false;
  } catch (const std::out_of_range&) {
    return false;
  }
  // Prices that no chart can be drawn from make no record.
  for (double price : {record.open, record.high, record.low, record.close})
    if (!(price > 0) || !std::isfinite(price)) return false;
  record.second = 0;
  record.millisecond = 0;
  record.minuteKey =
      ((((static_cast<int64_t>(record.year) * 100 + record.month) * 100 + record.day) * 100 +
        record.hour) *
           100 +
       record.minute);
  minuteText = match[1].str() + "/" + match[2].str() + "/" + match[3].str() + " " + match[4].str() +
               ":" + match[5].str();
  if (minuteText.size() > kLongestMinuteText) return false;  // no producer writes it
  record.minuteText = minuteText;
  return true;
}

// The same; the minute text lasts until the next call on this thread.
inline bool parseLine(const std::string& piece, PriceRecord& record) {
  thread_local std::string minuteText;
  return parseLine(piece, record, minuteText);
}

// The full conversion (empty lists), without progress output.
inline void convertAll(TickIntake& intake, std::string_view text, bool expand) {
  const size_t firstPoint = intake.pointList.size();
  const std::vector<std::string> pieces = splitText(text, "\n");
  std::string minuteText;
  for (const std::string& piece : pieces) {
    PriceRecord record;
    if (!parseLine(piece, record, minuteText)) continue;
    record.index = static_cast<int32_t>(intake.recordList.size());
    record.minuteText = intake.texts.store(minuteText);
    intake.recordList.push_back(record);
    auto add = [&](int32_t kind, double price) {
      PricePoint point{static_cast<int32_t>(intake.pointList.size()),
                       record.minuteText,
                       record.minuteKey,
                       kind,
                       price,
                       record.index};
      intake.pointList.push_back(point);
    };
    if (expand) {
      add(1, record.open);
      if (std::fabs(record.open - record.high) > std::fabs(record.open - record.low))
        add(2, record.high);
      else
        add(3, record.low);
    }
    add(4, record.close);
  }
  intake.batchPointList = std::span<const PricePoint>(intake.pointList).subspan(firstPoint);
}

}  // namespace tavelund::literal
