#pragma once
// The analysis on the drawn chart: where the history's columns and rows
// stand in the drawing's view and grid, and the trend-line overlay.
#include <cstdint>
#include <optional>

#include "analysis/chart_history.h"
#include "analysis/trend_lines.h"
#include "engine/pf_chart.h"

namespace tavelund::analysis {

// How the chart's drawing state (after selectView and layoutRows, for the
// same offset as the history) lines up with the history.
struct ViewPlacement {
  int32_t firstColumn = 0;  // history index of the oldest view column
  int64_t rowShift = 0;     // view row = history row + rowShift

  // View index (0 = newest) of a history column, or -1 when not shown.
  int32_t viewIndex(const PfChart& chart, int64_t column) const;
  // Grid row (0 = bottom) of a history row.
  int64_t gridRow(const PfChart& chart, int64_t row) const { return row + rowShift - chart.minRow; }
};

std::optional<ViewPlacement> placeView(const PfChart& chart, const ChartHistory& history);

// Marks the current trend line's empty cells of the grid with "+". Call
// between buildGrid and printChart, under chartLock, for the offset drawn.
void overlayTrendLine(PfChart& chart, int32_t viewOffset);

}  // namespace tavelund::analysis
