#include "analysis/chart_history.h"

#include <algorithm>
#include <cmath>

#include "engine/box_text.h"

namespace tavelund::analysis {
namespace {

// The layout's rows for the shown columns (the newest of the history), and
// the row rule read backward for the columns before them.
void takeRows(std::vector<ColumnTrace>& traces, const ChartLayout& layout) {
  auto set = [](ColumnTrace& trace, int64_t start, int64_t end) {
    trace.firstRow = clampedRow(start);
    trace.bottomRow = clampedRow(trace.direction > 0 ? start : end);
    trace.topRow = clampedRow(trace.direction > 0 ? end : start);
  };
  const size_t shown = std::min(traces.size(), layout.columns.size());
  const size_t firstShown = traces.size() - shown;
  for (size_t i = 0; i < shown; ++i) {
    const LaidColumn& laid = layout.columns[layout.columns.size() - shown + i];
    set(traces[firstShown + i], laid.startRow, laid.endRow);
  }
  for (size_t i = firstShown; i-- > 0;) {
    const ColumnTrace& after = traces[i + 1];
    const RowSpan rows = rowsBefore(after.firstRow, after.direction, traces[i].boxes);
    set(traces[i], rows.startRow, rows.endRow);
  }
}

// A level moved by `by`, kept within the grid's limit.
int64_t levelPlus(int64_t level, int64_t by) {
  return std::clamp<int64_t>(level + by, -kGridLevelLimit, kGridLevelLimit);
}

// The level of a column's extreme price in the original construction.
int64_t extremeLevel(const PriceGrid& grid, int32_t direction, double price) {
  return direction > 0 ? grid.up(price) : grid.down(price);
}

}  // namespace

ChartHistory historyAt(const PfChart& chart, int32_t viewOffset, bool withSteps,
                       int32_t showColumns) {
  return historyOf(chart, layOutChart(chart, LayoutRequest{viewOffset, showColumns}), withSteps);
}

ChartHistory historyOf(const PfChart& chart, const ChartLayout& layout, bool withSteps) {
  ChartHistory history;
  history.reversal = chart.reversal();
  history.digits = chart.digits();
  history.boxFraction = chart.boxFraction();
  if (chart.gridScale()) history.gridBox = boxSizeText(chart);
  // Said only of a box the user chose: the default chart's text stays.
  if (chart.gridScale() || chart.boxFraction() != 0.01)
    history.construction = constructionText(chart.gridScale(), chart.highLowMethod());
  history.onGrid = chart.grid().has_value();
  history.levelGrid = chart.grid() ? *chart.grid() : PriceGrid::percent(chart.boxFraction() * 100);
  const PriceGrid& grid = history.levelGrid;
  const ColumnList columns = chart.columns();
  const ColumnList snapshots = chart.snapshots();
  const auto points = chart.points();
  if (columns.empty() || snapshots.empty()) return history;
  // The snapshot the layout shows.
  const int64_t k = layout.snapshot;
  if (k < 0 || k >= static_cast<int64_t>(snapshots.size())) return history;
  history.snapshot = layout.snapshot;

  // The view: the snapshot after the columns before it (a column numbered c
  // follows the one at position c).
  const PfColumn shown = snapshots[static_cast<size_t>(k)];
  const int64_t before =
      std::clamp<int64_t>(int64_t{shown.number} + 1, 0, static_cast<int64_t>(columns.size()));
  // position in the chart -> index in history.columns (-1: undecided)
  std::vector<int32_t> indexOf(static_cast<size_t>(before) + 1, -1);
  // position -> the point that made the column by reversing the one before
  std::vector<int32_t> madeBy(static_cast<size_t>(before) + 1, -1);
  auto take = [&](const PfColumn& column, size_t position) {
    if (position > 0) madeBy[position] = column.startPoint.index;
    if (column.direction == 0) return;
    ColumnTrace trace;
    trace.number = column.number;
    trace.direction = column.direction;
    trace.boxes = column.boxes.size();
    trace.basePrice = column.basePrice;
    trace.boxSize = column.boxSize;
    if (history.onGrid) {
      trace.startLevel = column.startLevel;
      trace.level = column.endLevel;
    } else {
      // One beyond the extreme of the column before, as on a grid; the first
      // column starts one beyond the level of its first price.
      trace.level = extremeLevel(grid, column.direction, column.extremePrice);
      if (history.columns.empty()) {
        trace.startLevel = column.direction > 0 ? levelPlus(grid.up(column.basePrice), 1)
                                                : levelPlus(grid.down(column.basePrice), -1);
      } else {
        trace.startLevel = levelPlus(history.columns.back().level, column.direction);
      }
    }
    indexOf[position] = static_cast<int32_t>(history.columns.size());
    history.columns.push_back(std::move(trace));
  };
  for (size_t q = 0; q < static_cast<size_t>(before); ++q) take(columns[q], q);
  take(shown, static_cast<size_t>(before));
  history.newestPercentText = shown.percentText;
  if (shown.direction != 0) {
    history.reversalPrice = shown.reversalPrice;
    history.nextBoxPrice = history.onGrid ? grid.level(levelPlus(shown.endLevel, shown.direction))
                                          : shown.endBoxPrice + shown.direction * shown.boxSize;
  }
  history.points = points;
  takeRows(history.columns, layout);
  history.shownColumns =
      std::min<int32_t>(layout.shown(), static_cast<int32_t>(history.columns.size()));
  if (!withSteps) return history;

  auto traceAt = [&](int64_t position) -> ColumnTrace* {
    if (position < 0 || position >= static_cast<int64_t>(indexOf.size())) return nullptr;
    const int32_t index = indexOf[static_cast<size_t>(position)];
    return index < 0 ? nullptr : &history.columns[static_cast<size_t>(index)];
  };
  // Snapshot i belongs to point i and holds the current column after it.
  for (int64_t i = 0; i <= k; ++i) {
    const auto point = static_cast<int32_t>(i);
    const PfColumn snapshot = snapshots[static_cast<size_t>(i)];
    const int64_t position = int64_t{snapshot.number} + 1;
    if (snapshot.direction != 0) {
      const int64_t level = history.onGrid
                                ? snapshot.endLevel
                                : extremeLevel(grid, snapshot.direction, snapshot.extremePrice);
      if (ColumnTrace* trace = traceAt(position);
          trace && (trace->steps.empty() || trace->steps.back().level != level)) {
        trace->steps.push_back(BoxStep{point, level});
      }
    }
    // A reversal's snapshot holds the old column; the new one was made by
    // the same point (its start point's index), at that point's level.
    ColumnTrace* made = traceAt(position + 1);
    if (!made || !made->steps.empty() || madeBy[static_cast<size_t>(position + 1)] != point ||
        static_cast<size_t>(point) >= points.size())
      continue;
    const double p = points[static_cast<size_t>(point)].price;
    made->steps.push_back(BoxStep{point, extremeLevel(grid, made->direction, p)});
  }
  return history;
}

PriceRange boxRange(const PfColumn& column, int64_t firstRow, int64_t row) {
  const double size = column.boxSize;
  PriceRange range;
  if (column.direction > 0) {
    range.low = column.basePrice + static_cast<double>(row - firstRow) * size;
    range.high = range.low + size;
  } else {
    range.high = column.basePrice - static_cast<double>(firstRow - row) * size;
    range.low = range.high - size;
  }
  return range;
}

PriceRange boxRange(const ColumnTrace& column, int64_t row) {
  PfColumn prices;
  prices.direction = column.direction;
  prices.basePrice = column.basePrice;
  prices.boxSize = column.boxSize;
  return boxRange(prices, column.firstRow, row);
}

const BoxStep* firstStepBeyond(const ColumnTrace& column, int64_t level) {
  for (const BoxStep& step : column.steps) {
    if (column.direction > 0 ? step.level > level : step.level < level) return &step;
  }
  return nullptr;
}

const BoxStep* firstStepWith(const ColumnTrace& column, int64_t boxes) {
  for (const BoxStep& step : column.steps) {
    if (column.levelsTo(step.level) >= boxes) return &step;
  }
  return nullptr;
}

int64_t rowOfLevel(const ChartHistory& history, const ColumnTrace& column, int64_t level) {
  if (history.onGrid) return int64_t{column.firstRow} + (level - column.startLevel);
  if (!(column.boxSize > 0)) return column.firstRow;
  const double price = history.price(level);
  const double boxes = column.direction > 0
                           ? std::floor((price - column.basePrice) / column.boxSize)
                           : -std::floor((column.basePrice - price) / column.boxSize);
  if (!std::isfinite(boxes)) return column.firstRow;
  // Far beyond the drawing: any row outside it says the same.
  return int64_t{column.firstRow} + static_cast<int64_t>(std::clamp(boxes, -1e9, 1e9));
}

}  // namespace tavelund::analysis
