#pragma once
// The MT5 time-frame codes that have a label of their own, for the feed's
// --timeframe option and its help table.
#include <optional>
#include <string>
#include <string_view>

namespace tavelund::feed {

// A code given as its label ("D1", "h4", any case) or as a 32-bit number.
std::optional<int> parseTimeFrame(std::string_view text);

// The help's table: code and label, in two columns.
std::string timeFrameTable();

}  // namespace tavelund::feed
