#pragma once
// The chart as the analysis reads it: every column from the first, in the
// rows of the drawing's layout (the columns before the shown ones by the
// same row rule, read backward), with the points at which each column's box
// count grew. Built from the chart as it stands at a view offset; the chart
// itself is only read.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/chart_layout.h"
#include "engine/pf_chart.h"

namespace tavelund::analysis {

// The box count of a column right after one of its points.
struct BoxStep {
  int32_t point = -1;  // position in the chart's point list
  int32_t boxes = 0;
};

// A column as it stands at the offset: what the analysis reads of it. Kept
// small, since a long chart has hundreds of thousands of columns.
struct ColumnTrace {
  int32_t number = -1;  // the chart's own column number
  int32_t direction = 0;
  int32_t boxes = 0;
  double basePrice = 0;
  double boxSize = 0;
  // Rows counted in boxes, the layout's rows: the oldest shown column
  // starts at row 0. For an X column the first box is the bottom one, for
  // an O column the top one.
  int32_t firstRow = 0;
  int32_t bottomRow = 0, topRow = 0;
  // The rising rows of X columns and falling rows of O columns, from the
  // column's own side: top for X, bottom for O.
  int32_t extremeRow() const { return direction > 0 ? topRow : bottomRow; }
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

// The price range of `row` in a column's own boxes (extended beyond them
// when the row lies outside): X boxes stack up from the base price, O boxes
// down from it.
struct PriceRange {
  double low = 0, high = 0;
};
PriceRange boxRange(const ColumnTrace& column, int64_t row);
// The same for a column whose first box lies in `firstRow`.
PriceRange boxRange(const PfColumn& column, int64_t firstRow, int64_t row);

// The first step at which the column holds at least `boxes` boxes, or null.
const BoxStep* firstStepWith(const ColumnTrace& column, int32_t boxes);

}  // namespace tavelund::analysis
