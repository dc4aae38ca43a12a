#pragma once
// 45-degree trend lines, one level per column: the Bullish Support Line rises
// from one level below a low, the Bearish Resistance Line falls from one
// level above a high. The rules (docs/analysis.md, after Dorsey):
//  - The first line is drawn at the column of the chart's first Double Top
//    Breakout (a support line) or Double Bottom Breakdown (a resistance
//    line).
//  - A support line starts in the lowest O column of its range, one level
//    below that column's bottom; a resistance line in the highest X column,
//    one level above its top; ties go to the latest column. The range is the
//    chart's start (first line) or the broken line's start column (later
//    lines) up to the column before the one the line is drawn at.
//  - Where a column between the start and the drawing column reaches the
//    line (an O bottom on or below a support line, an X top on or above a
//    resistance line), the line starts again in that column, so the line is
//    whole when it is drawn.
//  - A line is broken by the first later column that violates it: an O
//    column at least one level below a support line, an X column at least
//    one level above a resistance line. A column that only reaches it does
//    not break it.
//  - The opposite line is drawn once the signal status is on the opposite
//    side: at the breaking column when it already is, else at the column of
//    the first opposite signal after the break. Between the two there is no
//    current line.
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/chart_history.h"

namespace tavelund::analysis {

enum class LineKind { BullishSupport, BearishResistance };

struct TrendLine {
  LineKind kind = LineKind::BullishSupport;
  int32_t startColumn = 0;  // history index of the low or high it starts at
  int64_t startLevel = 0;   // its level in that column
  int32_t drawnAt = 0;      // the column that drew it
  int32_t brokenAt = -1;    // the column that broke it; -1 while it holds

  // +1 for support, -1 for resistance.
  int32_t slope() const { return kind == LineKind::BullishSupport ? 1 : -1; }
  int64_t levelAt(int64_t column) const {
    return startLevel + int64_t{slope()} * (column - startColumn);
  }
  // Its last column: the breaking one, or `newest` while it holds.
  int32_t endColumn(int32_t newest) const { return brokenAt >= 0 ? brokenAt : newest; }
};

const char* lineName(LineKind kind);  // "BULLISH SUPPORT LINE", "BEARISH RESISTANCE LINE"

// Every line of the history, oldest first. Empty before the first signal.
std::vector<TrendLine> trendLines(const ChartHistory& history);

// The line that holds now: the newest, unless it is broken.
std::optional<TrendLine> currentLine(const std::vector<TrendLine>& lines);

// The drawing's row of `line` in the history column at `column`.
int64_t lineRow(const ChartHistory& history, const TrendLine& line, int64_t column);

}  // namespace tavelund::analysis
