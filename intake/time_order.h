#pragma once
// Whether a batch stands oldest first, as the producer must publish it. The
// viewer keys its records by the minute and rebuilds from its newest record
// on, so a batch published newest first is drawn backwards and its new bars
// never show. The batch is used as it is all the same; these only tell.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "intake/tick_intake.h"

namespace tavelund {

// The first of `records` whose minute is earlier than that of the record
// before it; none when they stand in non-decreasing minute order.
std::optional<std::size_t> firstRecordBackInTime(std::span<const PriceRecord> records);

// For the run log, after a conversion: the entry for the records that it
// made of its batch (the newest record rebuilt and those after it) when they
// go back in time, naming the first that does and the one before it; none
// when they do not.
std::optional<std::string> batchTimeOrderEntry(const TickIntake& intake);

struct LineBackInTime {
  std::size_t number = 0;  // counted from 1, every line of the text counted
  std::string_view line;   // without its line end
};

// The first price line of a timeline text whose minute is earlier than that
// of the price line before it; lines that are no price lines are passed
// over, as the conversion passes them over.
std::optional<LineBackInTime> firstLineBackInTime(std::string_view timelineText);

}  // namespace tavelund
