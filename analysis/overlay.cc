#include "analysis/overlay.h"

#include "analysis/chart_history.h"
#include "analysis/trend_lines.h"

namespace tavelund::analysis {

void overlayTrendLine(const PfChart& chart, ChartLayout& layout) {
  const ChartHistory history = historyOf(chart, layout, false);
  const auto line = currentLine(trendLines(history));
  if (!line) return;
  const auto newest = static_cast<int64_t>(history.columns.size()) - 1;
  for (int64_t column = line->startColumn; column <= newest; ++column) {
    const int32_t i = history.shownIndex(column);
    if (i < 0 || static_cast<size_t>(i) >= layout.cells.size()) continue;
    const int64_t r = layout.cellRow(lineRow(history, *line, column));
    std::string& cells = layout.cells[static_cast<size_t>(i)];
    if (r >= 0 && r < static_cast<int64_t>(cells.size()) && cells[static_cast<size_t>(r)] == '.')
      cells[static_cast<size_t>(r)] = '+';
  }
}

}  // namespace tavelund::analysis
