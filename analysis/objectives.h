#pragma once
// Price objectives (docs/analysis.md has the rules and their sources), all
// counted in levels, so that on a percent grid a count multiplies:
//  - Vertical count (Dorsey): the column that gave the first buy signal (a
//    Double Top Breakout) after the latest sell signal; its boxes x reversal
//    levels above its first box. Pending while that column still runs;
//    cancelled once a later O column goes below its first box. The bearish
//    count is the mirror with reversal - 1, below the first box of the
//    column of the first sell signal after the latest buy signal.
//  - Horizontal count (StockCharts, Dorsey Wright): the latest breakout from
//    a base (a Triple, Quadruple or Spread Triple Top Breakout) after the
//    latest sell signal; the base's width in columns x reversal levels above
//    the base's low. Cancelled once a later O column goes below that low.
//    The bearish count is the mirror, below the base's high.
// Only the side of the current status can have a count: the other side's
// signal run ended with the opposite signal.
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/chart_history.h"
#include "analysis/patterns.h"

namespace tavelund::analysis {

struct Objective {
  enum class State { pending, active, cancelled };
  Side side = Side::Buy;
  State state = State::active;
  double price = 0;           // the objective (while pending: as counted so far)
  int32_t signalColumn = -1;  // history index of the signal's column
  // Vertical: the counted column (the signal's). Horizontal: the base's
  // first column; the base runs to the signal's column.
  int32_t countColumn = -1;
  int64_t boxes = 0;      // the counted column's levels, or the base's width
  int32_t factor = 0;     // the levels each counts for
  int64_t fromLevel = 0;  // what the count adds to or takes from
  double fromPrice = 0;   // that level's price
};

std::optional<Objective> verticalCount(const ChartHistory& history,
                                       const std::vector<Signal>& signals, Side side);
std::optional<Objective> horizontalCount(const ChartHistory& history,
                                         const std::vector<Signal>& signals, Side side);

// The prices at which something happens next, from the newest column.
struct Triggers {
  std::optional<double> nextBox;     // the current column's next box
  std::optional<double> reversal;    // the price that reverses the column
  std::optional<double> buySignal;   // the next Double Top Breakout
  std::optional<double> sellSignal;  // the next Double Bottom Breakdown
};
Triggers triggers(const ChartHistory& history);

}  // namespace tavelund::analysis
