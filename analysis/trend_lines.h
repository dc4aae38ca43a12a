#pragma once
// 45-degree trend lines, one row per column: the Bullish Support Line rises
// from one row below a low, the Bearish Resistance Line falls from one row
// above a high. The rules (docs/analysis.md):
//  - The first line is drawn at the column of the chart's first Double Top
//    Breakout (a support line) or Double Bottom Breakdown (a resistance
//    line); later lines at the column that broke the line before them.
//  - A support line starts in the lowest O column of its range, one row
//    below that column's bottom; a resistance line in the highest X column,
//    one row above its top; ties go to the latest column. The range is the
//    chart's start (first line) or the broken line's start column (later
//    lines) up to the column before the one the line is drawn at.
//  - Where a column between the start and the drawing column reaches the
//    line (an O bottom on or below a support line, an X top on or above a
//    resistance line), the line starts again in that column, so the line is
//    whole when it is drawn.
//  - A line is broken by the first later column that reaches it in the same
//    way; that column draws the opposite line.
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/chart_history.h"

namespace tavelund::analysis {

enum class LineKind { BullishSupport, BearishResistance };

struct TrendLine {
  LineKind kind = LineKind::BullishSupport;
  int32_t startColumn = 0;  // history index of the low or high it starts at
  int64_t startRow = 0;     // its row in that column (may lie beyond the chart's rows)
  int32_t drawnAt = 0;      // the column that drew it
  int32_t brokenAt = -1;    // the column that broke it; -1 while it holds

  // +1 for support, -1 for resistance.
  int32_t slope() const { return kind == LineKind::BullishSupport ? 1 : -1; }
  int64_t rowAt(int64_t column) const {
    return startRow + int64_t{slope()} * (column - startColumn);
  }
  // Its last column: the breaking one, or `newest` while it holds.
  int32_t endColumn(int32_t newest) const { return brokenAt >= 0 ? brokenAt : newest; }
};

const char* lineName(LineKind kind);  // "BULLISH SUPPORT LINE", "BEARISH RESISTANCE LINE"

// Every line of the history, oldest first; the last one is the current
// line. Empty before the first signal.
std::vector<TrendLine> trendLines(const ChartHistory& history);

std::optional<TrendLine> currentLine(const std::vector<TrendLine>& lines);

}  // namespace tavelund::analysis
