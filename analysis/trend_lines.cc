#include "analysis/trend_lines.h"

#include <algorithm>

#include "analysis/patterns.h"

namespace tavelund::analysis {
namespace {

// How far the column at `index` goes beyond the line, in levels: 0 on it,
// below 0 short of it. Only O columns count against a support line and
// only X columns against a resistance line.
int64_t beyond(const TrendLine& line, const ColumnTrace& column, int64_t index) {
  const bool support = line.kind == LineKind::BullishSupport;
  if (column.direction != (support ? -1 : 1)) return -1;
  const int64_t at = line.levelAt(index);
  return support ? at - column.level : column.level - at;
}

// Beside a column on the grid's outermost level the start lies outside it,
// which the 64-bit levels still hold.
void startBeside(TrendLine& line, const ColumnTrace& column, int32_t index) {
  line.startColumn = index;
  line.startLevel = line.kind == LineKind::BullishSupport ? column.level - 1 : column.level + 1;
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
    if (support ? column.level <= best.level : column.level >= best.level) start = q;
  }
  if (start < 0) return std::nullopt;
  TrendLine line;
  line.kind = kind;
  line.drawnAt = drawnAt;
  startBeside(line, history.columns[static_cast<size_t>(start)], start);
  for (int32_t q = start + 1; q <= drawnAt; ++q) {
    const ColumnTrace& column = history.columns[static_cast<size_t>(q)];
    if (beyond(line, column, q) >= 0) startBeside(line, column, q);
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
  // The signal status after each column: +1 buy, -1 sell, 0 none yet.
  std::vector<int8_t> status(static_cast<size_t>(count), 0);
  int8_t side = 0;
  for (int32_t c = 0; c < count; ++c) {
    const auto holds = conditionsAt(history, c);
    if (holds[static_cast<int>(PatternKind::DoubleTopBreakout)]) side = 1;
    if (holds[static_cast<int>(PatternKind::DoubleBottomBreakdown)]) side = -1;
    status[static_cast<size_t>(c)] = side;
  }
  const auto first = std::find_if(status.begin(), status.end(), [](int8_t s) { return s != 0; });
  if (first == status.end()) return lines;
  int32_t drawAt = static_cast<int32_t>(first - status.begin());
  LineKind kind = *first > 0 ? LineKind::BullishSupport : LineKind::BearishResistance;
  int32_t rangeStart = 0;
  while (drawAt < count) {
    auto line = drawLine(history, kind, rangeStart, drawAt);
    if (!line) break;
    int32_t q = drawAt + 1;
    while (q < count && beyond(*line, history.columns[static_cast<size_t>(q)], q) < 1) ++q;
    if (q < count) line->brokenAt = q;
    lines.push_back(*line);
    if (q >= count) break;
    // The opposite line waits for the opposite signal.
    kind =
        kind == LineKind::BullishSupport ? LineKind::BearishResistance : LineKind::BullishSupport;
    const int8_t wanted = kind == LineKind::BullishSupport ? 1 : -1;
    rangeStart = line->startColumn;
    drawAt = q;
    while (drawAt < count && status[static_cast<size_t>(drawAt)] != wanted) ++drawAt;
  }
  return lines;
}

std::optional<TrendLine> currentLine(const std::vector<TrendLine>& lines) {
  if (lines.empty() || lines.back().brokenAt >= 0) return std::nullopt;
  return lines.back();
}

int64_t lineRow(const ChartHistory& history, const TrendLine& line, int64_t column) {
  const ColumnTrace* trace = history.at(column);
  return trace ? rowOfLevel(history, *trace, line.levelAt(column)) : 0;
}

}  // namespace tavelund::analysis
