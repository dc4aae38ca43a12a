#include "analysis/trend_lines.h"

#include "analysis/patterns.h"

namespace tavelund::analysis {
namespace {

// Whether the column at `index` reaches the line: an O bottom on or below
// a support line, an X top on or above a resistance line.
bool reaches(const TrendLine& line, const ColumnTrace& column, int64_t index) {
  if (line.kind == LineKind::BullishSupport)
    return column.direction < 0 && column.bottomRow <= line.rowAt(index);
  return column.direction > 0 && column.topRow >= line.rowAt(index);
}

// Beside a column on the chart's outermost row the start lies outside the
// 32-bit rows, so it is worked out (and kept) in 64 bits.
void startBeside(TrendLine& line, const ColumnTrace& column, int32_t index) {
  line.startColumn = index;
  line.startRow = line.kind == LineKind::BullishSupport ? int64_t{column.bottomRow} - 1
                                                        : int64_t{column.topRow} + 1;
}

// The line drawn at column `drawnAt` from the extreme of [first, drawnAt).
std::optional<TrendLine> drawLine(const ChartHistory& history, LineKind kind, int32_t first,
                                  int32_t drawnAt) {
  const bool support = kind == LineKind::BullishSupport;
  int32_t start = -1;
  for (int32_t q = first; q < drawnAt; ++q) {
    const ColumnTrace& column = history.columns[static_cast<size_t>(q)];
    if (column.direction != (support ? -1 : 1)) continue;
    if (start < 0) {
      start = q;
      continue;
    }
    const ColumnTrace& best = history.columns[static_cast<size_t>(start)];
    if (support ? column.bottomRow <= best.bottomRow : column.topRow >= best.topRow) start = q;
  }
  if (start < 0) return std::nullopt;
  TrendLine line;
  line.kind = kind;
  line.drawnAt = drawnAt;
  startBeside(line, history.columns[static_cast<size_t>(start)], start);
  for (int32_t q = start + 1; q <= drawnAt; ++q) {
    const ColumnTrace& column = history.columns[static_cast<size_t>(q)];
    if (reaches(line, column, q)) startBeside(line, column, q);
  }
  return line;
}

}  // namespace

const char* lineName(LineKind kind) {
  return kind == LineKind::BullishSupport ? "BULLISH SUPPORT LINE" : "BEARISH RESISTANCE LINE";
}

std::vector<TrendLine> trendLines(const ChartHistory& history) {
  std::vector<TrendLine> lines;
  const auto count = static_cast<int32_t>(history.columns.size());
  int32_t first = -1;
  for (int32_t c = 0; c < count && first < 0; ++c) {
    const auto holds = conditionsAt(history, c);
    if (holds[static_cast<int>(PatternKind::DoubleTopBreakout)] ||
        holds[static_cast<int>(PatternKind::DoubleBottomBreakdown)])
      first = c;
  }
  if (first < 0) return lines;
  const bool rising = history.columns[static_cast<size_t>(first)].direction > 0;
  auto line =
      drawLine(history, rising ? LineKind::BullishSupport : LineKind::BearishResistance, 0, first);
  if (!line) return lines;
  lines.push_back(*line);
  for (int32_t q = first + 1; q < count; ++q) {
    TrendLine& holding = lines.back();
    if (!reaches(holding, history.columns[static_cast<size_t>(q)], q)) continue;
    holding.brokenAt = q;
    const LineKind opposite = holding.kind == LineKind::BullishSupport ? LineKind::BearishResistance
                                                                       : LineKind::BullishSupport;
    const auto next = drawLine(history, opposite, holding.startColumn, q);
    if (!next) break;
    lines.push_back(*next);
  }
  return lines;
}

std::optional<TrendLine> currentLine(const std::vector<TrendLine>& lines) {
  if (lines.empty()) return std::nullopt;
  return lines.back();
}

}  // namespace tavelund::analysis
