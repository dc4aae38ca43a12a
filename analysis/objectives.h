#pragma once
// Price objectives by the vertical count, for the latest buy signal (Double
// Top Breakout) and the latest sell signal (Double Bottom Breakdown).
//  - Bullish: the lowest low before the buy signal (the lowest O column from
//    the sell signal before it, or from the chart's start, to the column
//    before the signal's; ties go to the latest); the X column that rose off
//    it counts: its boxes x reversal x its box size, added to its bottom
//    price.
//  - Bearish: the mirror, from the highest high before the sell signal; the
//    O column that fell off it counts (reversal - 1), subtracted from its
//    top price.
// Prices come from the counted column's own base price and box size.
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/chart_history.h"
#include "analysis/patterns.h"

namespace tavelund::analysis {

struct Objective {
  Side side = Side::Buy;
  double price = 0;
  int32_t signalColumn = -1;  // history index of the signal's column
  int32_t countColumn = -1;   // history index of the counted column
  int32_t boxes = 0;          // the counted column's boxes
  int32_t factor = 0;         // reversal (bullish) or reversal - 1 (bearish)
  double startPrice = 0;      // the counted column's bottom (bullish) or top (bearish)
};

std::optional<Objective> objective(const ChartHistory& history, const std::vector<Signal>& signals,
                                   Side side);

}  // namespace tavelund::analysis
