#include "analysis/overlay.h"

namespace tavelund::analysis {

int32_t ViewPlacement::viewIndex(const PfChart& chart, int64_t column) const {
  const int64_t j = int64_t{chart.viewCount} - 1 - (column - firstColumn);
  return j >= 0 && j < chart.viewCount ? static_cast<int32_t>(j) : -1;
}

std::optional<ViewPlacement> placeView(const PfChart& chart, const ChartHistory& history) {
  if (history.columns.empty() || chart.view.empty() ||
      chart.viewCount != static_cast<int32_t>(chart.view.size()))
    return std::nullopt;
  // Only the chart's first column can be undecided, and then it is alone:
  // every view column is in the history, the newest one last.
  const int64_t first = static_cast<int64_t>(history.columns.size()) - chart.viewCount;
  if (first < 0) return std::nullopt;
  const PfColumn& oldest = chart.view.back();
  const ColumnTrace& trace = history.columns[static_cast<size_t>(first)];
  if (oldest.direction != trace.direction || oldest.number != trace.number) return std::nullopt;
  ViewPlacement placement;
  placement.firstColumn = static_cast<int32_t>(first);
  placement.rowShift = int64_t{oldest.startRow} - trace.firstRow;
  return placement;
}

void overlayTrendLine(PfChart& chart, int32_t viewOffset) {
  const ChartHistory history = historyAt(chart, viewOffset, false);
  const auto line = currentLine(trendLines(history));
  const auto placement = placeView(chart, history);
  if (!line || !placement) return;
  const auto newest = static_cast<int64_t>(history.columns.size()) - 1;
  for (int64_t column = line->startColumn; column <= newest; ++column) {
    const int32_t j = placement->viewIndex(chart, column);
    if (j < 0 || static_cast<size_t>(j) >= chart.grid.size()) continue;
    const int64_t r = placement->gridRow(chart, line->rowAt(column));
    std::string& cells = chart.grid[static_cast<size_t>(j)];
    if (r >= 0 && r < static_cast<int64_t>(cells.size()) && cells[static_cast<size_t>(r)] == '.')
      cells[static_cast<size_t>(r)] = '+';
  }
}

}  // namespace tavelund::analysis
