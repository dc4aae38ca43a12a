#pragma once
// The steps of convertTimeline, shared by its files.
#include <cstddef>
#include <string_view>

#include "intake/tick_intake.h"

namespace tavelund {

// The shortest line that makes a record: "1/1/1 1:1:1.1,1,1,1,1" and its
// line end. A text of n bytes holds at most n / kShortestRecordLine + 1
// records, however many line ends it has.
inline constexpr size_t kShortestRecordLine = 22;

// The record of a line read by parseTimelineLine; a minute text too long to
// stand in the record is kept by `store` (TextArena::store, or a reuse).
template <typename Store>
PriceRecord recordOf(const TimelineLine& line, Store&& store) {
  PriceRecord record;
  record.minuteText = MinuteText(line.minuteText, store);
  record.minuteKey = line.minuteKey;
  record.open = static_cast<float>(line.open);
  record.high = static_cast<float>(line.high);
  record.low = static_cast<float>(line.low);
  record.close = static_cast<float>(line.close);
  return record;
}

inline PriceRecord recordOf(const TimelineLine& line, TextArena& texts) {
  return recordOf(line, [&](std::string_view text) { return texts.store(text); });
}

// The records from `first` on: what this conversion added, as points.
inline void setBatch(TickIntake& intake, size_t firstRecord) {
  intake.batchPointList =
      PointSpan::tail(intake.pointList, firstRecord * intake.pointList.perRecord());
}

// The first conversion of a run: every line, on up to `threads` threads.
void fullConversion(TickIntake& intake, std::string_view text, const ConsolePort& console,
                    unsigned threads);

}  // namespace tavelund
