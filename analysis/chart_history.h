#pragma once
// The chart as the analysis reads it: every column from the first, in price
// levels, with the points at which each column's extreme reached a new
// level. On a chart of one price grid the levels are the grid's; in the
// original construction (every column on boxes of its own) they are those
// of the log grid L(k) = (1 + boxFraction)^k, on which an X column stands at
// up(its high) and an O column at down(its low). The drawing's rows are kept
// beside them, for what is drawn into the chart. Built from the chart as it
// stands at a view offset; the chart itself is only read.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/chart_layout.h"
#include "engine/pf_chart.h"
#include "engine/price_grid.h"

namespace tavelund::analysis {

// The level of a column's extreme right after one of its points.
struct BoxStep {
  int32_t point = -1;  // position in the chart's point list
  int64_t level = 0;
};

// A column as it stands at the offset: what the analysis reads of it. Kept
// small, since a long chart has hundreds of thousands of columns.
struct ColumnTrace {
  int32_t number = -1;  // the chart's own column number
  int32_t direction = 0;
  int32_t boxes = 0;  // as drawn
  double basePrice = 0;
  double boxSize = 0;
  // In levels: the first box (one beyond the extreme of the column before,
  // as on a grid) and the extreme, the top of an X column and the bottom of
  // an O column. Every comparison of the analysis reads these.
  int64_t startLevel = 0;
  int64_t level = 0;
  // The boxes from the first level to the extreme, both counted.
  int64_t levels() const { return levelsTo(level); }
  int64_t levelsTo(int64_t extreme) const {
    const int64_t span = direction > 0 ? extreme - startLevel : startLevel - extreme;
    return span < 0 ? 1 : span + 1;
  }
  // Rows counted in boxes, the layout's rows: the oldest shown column
  // starts at row 0. For an X column the first box is the bottom one, for
  // an O column the top one.
  int32_t firstRow = 0;
  int32_t bottomRow = 0, topRow = 0;
  // Oldest first; the first step is the point that made the column (the
  // reversal, or the decision of the first column). Empty when the history
  // was built without steps.
  std::vector<BoxStep> steps;
};

struct ChartHistory {
  int32_t snapshot = -1;  // the chart's snapshot shown last
  // Decided columns only, oldest first: index 0 is the chart's first column.
  std::vector<ColumnTrace> columns;
  int32_t reversal = 3;
  int32_t digits = 5;
  double boxFraction = 0.01;
  std::string_view newestPercentText;  // the newest column's percent text
  // The grid the levels lie on (the chart's, or the log grid of the box
  // percent), and whether it is the chart's own.
  PriceGrid levelGrid = PriceGrid::percent(1);
  bool onGrid = false;
  double price(int64_t level) const { return levelGrid.level(level); }
  // The newest column as the chart holds it: where its next box and its
  // reversal lie (0 when it is undecided).
  double nextBoxPrice = 0, reversalPrice = 0;
  // On one grid: the box in words (engine/box_text.h); empty otherwise.
  std::string gridBox;
  // How the columns are built, in words, when the box is the user's
  // choice (-p or -g); empty for the default chart.
  std::string construction;
  // The chart's points; steps and signals refer to them by position.
  PointSpan points;
  std::optional<PricePoint> point(int32_t position) const {
    if (position < 0 || static_cast<size_t>(position) >= points.size()) return std::nullopt;
    return points[static_cast<size_t>(position)];
  }
  // How many of the newest columns the drawing shows at this offset.
  int32_t shownColumns = 0;

  const ColumnTrace* at(int64_t index) const {
    return index >= 0 && index < static_cast<int64_t>(columns.size())
               ? &columns[static_cast<size_t>(index)]
               : nullptr;
  }
  int32_t firstShown() const { return static_cast<int32_t>(columns.size()) - shownColumns; }
  // The layout's index of a history column, or -1 when it is not shown.
  int32_t shownIndex(int64_t column) const {
    const int64_t i = column - firstShown();
    return i >= 0 && i < shownColumns ? static_cast<int32_t>(i) : -1;
  }
};

// The chart as `layout` shows it (the snapshot at its offset and every
// column before it); `withSteps` also collects the points at which the box
// counts grew (one pass over the snapshots). The caller holds chartLock;
// the texts refer to the chart and stay valid while it is unchanged.
ChartHistory historyOf(const PfChart& chart, const ChartLayout& layout, bool withSteps);
// The same for the layout at `viewOffset` with `showColumns` shown.
ChartHistory historyAt(const PfChart& chart, int32_t viewOffset, bool withSteps,
                       int32_t showColumns = 30);

// The drawing's row of a column that holds `level`: on a grid the level's
// own row; in the original construction the row of the column's box that
// holds the level's price (it may lie beyond the column's boxes).
int64_t rowOfLevel(const ChartHistory& history, const ColumnTrace& column, int64_t level);

// The price range of `row` in a column's own boxes (extended beyond them
// when the row lies outside): X boxes stack up from the base price, O boxes
// down from it.
struct PriceRange {
  double low = 0, high = 0;
};
PriceRange boxRange(const ColumnTrace& column, int64_t row);
// The same for a column whose first box lies in `firstRow`.
PriceRange boxRange(const PfColumn& column, int64_t firstRow, int64_t row);

// The first step at which the column's extreme lies beyond `level` (above
// it for an X column, below for an O column), or null.
const BoxStep* firstStepBeyond(const ColumnTrace& column, int64_t level);
// The first step at which the column holds at least `boxes` levels, or null.
const BoxStep* firstStepWith(const ColumnTrace& column, int64_t boxes);

}  // namespace tavelund::analysis
