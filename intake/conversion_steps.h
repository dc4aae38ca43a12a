#pragma once
// The steps of convertTimeline, shared by its files.
#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>

#include "intake/tick_intake.h"

namespace tavelund {

// Writes the points of one record, as the chart applies them, numbered from
// `firstIndex`; gives their count (3 with data expansion, else 1).
inline int writePoints(const PriceRecord& record, bool expand, int32_t firstIndex,
                       PricePoint* out) {
  int count = 0;
  auto add = [&](int32_t kind, double price) {
    out[count] = PricePoint{firstIndex + count, record.minuteText, record.minuteKey, kind, price,
                            record.index};
    ++count;
  };
  if (expand) {
    add(1, record.open);
    if (std::fabs(record.open - record.high) > std::fabs(record.open - record.low))
      add(2, record.high);
    else
      add(3, record.low);
  }
  add(4, record.close);
  return count;
}

// The points from `first` on: what this conversion added.
inline void setBatch(TickIntake& intake, size_t first) {
  intake.batchPointList = std::span<const PricePoint>(intake.pointList).subspan(first);
}

// The first conversion of a run: every line, on up to `threads` threads.
void fullConversion(TickIntake& intake, std::string_view text, bool expand,
                    const ConsolePort& console, unsigned threads);

}  // namespace tavelund
