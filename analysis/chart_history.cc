#include "analysis/chart_history.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavelund::analysis {
namespace {

int32_t clampRow(int64_t row) {
  return static_cast<int32_t>(std::clamp<int64_t>(row, INT32_MIN, INT32_MAX));
}

// The chart's own box count of a price: truncated toward zero, saturated.
int32_t boxCount(double quotient) {
  if (std::isnan(quotient)) return 0;
  constexpr double limit = 2147483647.0;
  if (quotient >= limit) return std::numeric_limits<int32_t>::max();
  if (quotient <= -limit) return -std::numeric_limits<int32_t>::max();
  const auto n = static_cast<int32_t>(quotient);
  return n > 0 ? n : 0;
}

// Rows as the drawing assigns them, the first decided column taking the
// place of the view's oldest.
void layOut(std::vector<ColumnTrace>& traces) {
  int64_t cursor = 0;
  bool first = true;
  for (ColumnTrace& trace : traces) {
    const int64_t n = trace.boxes;
    if (trace.direction > 0) {
      cursor = first ? cursor - 1 + n : cursor + n;
      trace.firstRow = trace.bottomRow = clampRow(cursor - n + 1);
      trace.topRow = clampRow(cursor);
    } else {
      cursor = first ? cursor - n + 1 : cursor - n;
      trace.firstRow = trace.topRow = clampRow(cursor - 1 + n);
      trace.bottomRow = clampRow(cursor);
    }
    first = false;
  }
}

}  // namespace

ChartHistory historyAt(const PfChart& chart, int32_t viewOffset, bool withSteps) {
  ChartHistory history;
  history.reversal = chart.reversal;
  history.digits = chart.digits;
  history.boxFraction = chart.boxFraction;
  const std::vector<PackedColumn>& columns = chart.columns().packed();
  const std::vector<PackedColumn>& snapshots = chart.snapshots().packed();
  const std::vector<PricePoint>& points = chart.points();
  const int32_t k = chart.snapshotIndexForOffset(viewOffset);
  if (columns.empty() || k < 0) return history;

  // The view: the snapshot at the offset after the columns before it (a
  // column numbered c follows the one at position c).
  const PackedColumn& shown = snapshots[static_cast<size_t>(k)];
  int64_t before = int64_t{shown.number} + 1;
  before = std::clamp<int64_t>(before, 0, static_cast<int64_t>(columns.size()));
  // position in the chart -> index in history.columns (-1: undecided)
  std::vector<int32_t> indexOf(static_cast<size_t>(before) + 1, -1);
  auto take = [&](const PackedColumn& packed, size_t position) {
    if (packed.direction == 0) return;
    ColumnTrace trace;
    trace.number = packed.number;
    trace.direction = packed.direction;
    trace.boxes = packed.boxCount;
    trace.basePrice = packed.basePrice;
    trace.boxSize = packed.boxSize;
    indexOf[position] = static_cast<int32_t>(history.columns.size());
    history.columns.push_back(std::move(trace));
  };
  for (size_t q = 0; q < static_cast<size_t>(before); ++q) take(columns[q], q);
  take(shown, static_cast<size_t>(before));
  history.newestPercentText = chart.unpack(shown).percentText;
  history.points = points;
  layOut(history.columns);
  history.shownColumns =
      std::min<int32_t>(chart.showColumns, static_cast<int32_t>(history.columns.size()));
  if (!withSteps) return history;

  auto stepAt = [](int32_t point, int32_t boxes) { return BoxStep{point, boxes}; };
  auto traceAt = [&](int64_t position) -> ColumnTrace* {
    if (position < 0 || position >= static_cast<int64_t>(indexOf.size())) return nullptr;
    const int32_t index = indexOf[static_cast<size_t>(position)];
    return index < 0 ? nullptr : &history.columns[static_cast<size_t>(index)];
  };
  for (int32_t i = 0; i <= k; ++i) {
    const PackedColumn& snapshot = snapshots[static_cast<size_t>(i)];
    const int64_t position = int64_t{snapshot.number} + 1;
    if (snapshot.direction != 0) {
      if (ColumnTrace* trace = traceAt(position);
          trace && (trace->steps.empty() || trace->steps.back().boxes != snapshot.boxCount)) {
        trace->steps.push_back(stepAt(snapshot.lastAt, snapshot.boxCount));
      }
    }
    // A reversal's snapshot holds the old column; the new one was made by
    // the same point, with the count the chart gave it then.
    const int64_t next = position + 1;
    if (next < static_cast<int64_t>(columns.size())) {
      const PackedColumn& made = columns[static_cast<size_t>(next)];
      ColumnTrace* trace = traceAt(next);
      if (trace && trace->steps.empty() && made.startAt == snapshot.lastAt && made.startAt >= 0 &&
          made.startAt < static_cast<int32_t>(points.size())) {
        const double p = points[static_cast<size_t>(made.startAt)].price;
        const double moved = made.direction > 0 ? p - made.basePrice : made.basePrice - p;
        trace->steps.push_back(stepAt(made.startAt, boxCount(moved / made.boxSize)));
      }
    }
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

const BoxStep* firstStepWith(const ColumnTrace& column, int32_t boxes) {
  for (const BoxStep& step : column.steps) {
    if (step.boxes >= boxes) return &step;
  }
  return nullptr;
}

}  // namespace tavelund::analysis
