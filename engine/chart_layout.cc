// The layout of the shown columns: which columns, their rows, the cells,
// the labels and the markers; and its text.
#include "engine/chart_layout.h"

#include <algorithm>
#include <mutex>

#include "common/chart_lock.h"
#include "common/number_text.h"
#include "common/screen_rules.h"

namespace tavelund {
namespace {

const std::string kChartRule = screenRule();

// The snapshot shown at the offset after the columns before it, oldest
// first (a column numbered c follows the one at position c).
std::vector<LaidColumn> shownColumns(const PfChart& chart, const LayoutRequest& request,
                                     int32_t& snapshot) {
  std::vector<LaidColumn> shown;
  const ColumnList columns = chart.columns();
  snapshot = chart.snapshotIndexForOffset(request.viewOffset);
  if (columns.empty() || snapshot < 0) return shown;
  shown.push_back({chart.snapshotAt(static_cast<size_t>(snapshot))});
  int64_t c = shown.front().column.number;
  if (c >= static_cast<int64_t>(columns.size())) c = static_cast<int64_t>(columns.size()) - 1;
  while (c >= 0 && static_cast<int64_t>(shown.size()) < request.showColumns) {
    shown.push_back({chart.columnAt(static_cast<size_t>(c))});
    --c;
  }
  std::reverse(shown.begin(), shown.end());
  return shown;
}

void assignRows(ChartLayout& layout) {
  // Wide arithmetic: absurd box counts must not overflow the row numbers.
  int64_t cursor = 0, high = 0, low = 0;
  for (size_t i = 0; i < layout.columns.size(); ++i) {
    LaidColumn& laid = layout.columns[i];
    const int64_t n = laid.column.boxes.size();
    const bool oldest = i == 0;
    if (laid.column.direction == 1) {
      cursor = oldest ? cursor - 1 + n : cursor + n;
      high = std::max(high, cursor);
      laid.startRow = clampedRow(cursor - n + 1);
      laid.endRow = clampedRow(cursor);
    } else if (laid.column.direction == -1) {
      cursor = oldest ? cursor - n + 1 : cursor - n;
      low = std::min(low, cursor);
      laid.startRow = clampedRow(cursor - 1 + n);
      laid.endRow = clampedRow(cursor);
    }
  }
  layout.maxRow = clampedRow(high);
  layout.minRow = clampedRow(low);
  layout.rowCursor = clampedRow(cursor);
  layout.rowCount = clampedRow(high - low + 1);
}

// The labels from the newest column: its outer box row carries 0 %, each
// row above and below one box percent more or less.
void labelRows(ChartLayout& layout, const PfColumn& column, int32_t endRow) {
  auto formatted = [&](double value) { return fixedText(value, layout.digits); };
  const double pct = column.percent;
  const int64_t above = int64_t{layout.maxRow} - endRow + 1;
  for (int64_t k = above; k >= 0; --k) {
    layout.rowLabels.push_back("   " + formatted(column.endBoxPrice + k * column.boxSize) + " (+" +
                               formatted(k * pct) + "%)");
  }
  const int64_t below = -(int64_t{endRow} - layout.minRow + 2);
  for (int64_t k = -1; k >= below; --k) {
    layout.rowLabels.push_back("   " + formatted(column.endBoxPrice + k * column.boxSize) + " (" +
                               formatted(k * pct) + "%)");
  }
}

// On one price grid every row is a level: its label is the level's price,
// its percent the level's distance from the newest column's last box.
void labelGridRows(ChartLayout& layout, const PriceGrid& grid, const PfColumn& column,
                   int32_t endRow) {
  auto formatted = [&](double value) { return fixedText(value, layout.digits); };
  const double last = column.endBoxPrice;
  for (int64_t row = int64_t{layout.maxRow} + 1; row >= int64_t{layout.minRow} - 2; --row) {
    const double price = grid.level(column.endLevel + (row - endRow));
    const double percent = last != 0 && row != endRow ? (price / last - 1) * 100 : 0;
    layout.rowLabels.push_back("   " + formatted(price) + (row >= endRow ? " (+" : " (") +
                               formatted(percent) + "%)");
  }
}

void fillCells(ChartLayout& layout, const PfChart& chart) {
  const int32_t reversal = chart.reversal();
  const auto rows = static_cast<size_t>(layout.rowCount);
  layout.cells.assign(layout.columns.size(), std::string(rows, '.'));
  auto formatted = [&](double value) { return fixedText(value, layout.digits); };
  for (size_t i = 0; i < layout.columns.size(); ++i) {
    const LaidColumn& laid = layout.columns[i];
    const PfColumn& column = laid.column;
    if (column.direction == 0) continue;
    const int64_t s = layout.cellRow(laid.startRow), e = layout.cellRow(laid.endRow);
    const bool rising = column.direction == 1;
    const int64_t bottom = rising ? s : e, top = rising ? e : s;
    std::string& cells = layout.cells[i];
    for (int64_t r = std::max<int64_t>(bottom, 0); r <= std::min<int64_t>(top, layout.rowCount - 1);
         ++r)
      cells[static_cast<size_t>(r)] = rising ? 'X' : 'O';
    if (i + 1 != layout.columns.size()) continue;

    if (s >= 0 && s < layout.rowCount) {
      if (chart.grid())
        labelGridRows(layout, *chart.grid(), column, laid.endRow);
      else
        labelRows(layout, column, laid.endRow);
    }
    if (e >= 0 && e < layout.rowCount) {
      const auto r = static_cast<int32_t>(e);
      const std::string price = formatted(column.endPoint.price);
      const std::string reversalText = " > " + formatted(column.reversalPrice) + " (Reversal)";
      if (rising) {
        layout.nowMarker = ChartMarker{r, " * " + price + " (Now) "};
        layout.reversalMarker = ChartMarker{clampedRow(int64_t{r} - reversal), reversalText};
      } else {
        layout.nowMarker = ChartMarker{r, " * " + price + " (Now)"};
        layout.reversalMarker = ChartMarker{clampedRow(int64_t{r} + reversal), reversalText};
      }
    }
  }
}

}  // namespace

int32_t clampedRow(int64_t row) {
  return static_cast<int32_t>(std::clamp<int64_t>(row, INT32_MIN, INT32_MAX));
}

RowSpan rowsBefore(int64_t afterStartRow, int32_t afterDirection, int32_t boxes) {
  // After an O column an X column starts one row above its bottom; after
  // an X column an O column starts one row below its top.
  if (afterDirection > 0) {
    const int64_t bottom = afterStartRow - 1;
    return RowSpan{bottom + boxes - 1, bottom};
  }
  const int64_t top = afterStartRow + 1;
  return RowSpan{top - boxes + 1, top};
}

ChartLayout layOutChart(const PfChart& chart, const LayoutRequest& request) {
  ChartLayout layout;
  layout.digits = chart.digits();
  layout.columns = shownColumns(chart, request, layout.snapshot);
  assignRows(layout);
  layout.problem = chart.problem();
  layout.grid = chart.grid();
  layout.tooTall = layout.rowCount > request.mostRows;
  if (!layout.tooTall) fillCells(layout, chart);
  return layout;
}

void printChart(std::ostream& out, const ChartLayout& layout, const ChartMarker& nowMarker,
                const ChartMarker& reversalMarker) {
  const std::string dots(layout.columns.size(), '.');
  auto label = [&](int64_t i) -> const std::string& {
    static const std::string none;
    return i >= 0 && i < static_cast<int64_t>(layout.rowLabels.size())
               ? layout.rowLabels[static_cast<size_t>(i)]
               : none;
  };
  out << dots << label(0) << std::endl;
  std::string line;
  for (int32_t r = layout.rowCount - 1; r >= 0; --r) {
    line.clear();
    for (const std::string& cells : layout.cells) line += cells[static_cast<size_t>(r)];
    line += label(int64_t{layout.rowCount} - r);
    if (r == nowMarker.row) line += nowMarker.text;
    if (r == reversalMarker.row) line += reversalMarker.text;
    out << line << std::endl;
  }
  out << dots << label(int64_t{layout.rowCount} + 1) << std::endl;
  out << std::endl << kChartRule << std::endl;
}

ChartLayout ChartDrawing::draw(std::ostream& out, const PfChart& chart,
                               const ChartSettings& settings, const Overlay& overlay) {
  std::lock_guard<std::mutex> lock(chartLock);
  ChartLayout layout =
      layOutChart(chart, LayoutRequest{settings.viewOffset(), settings.showColumns, mostRows_});
  if (!layout.problem.empty()) {
    out << "    NO CHART : " << layout.problem << std::endl;
    out << std::endl << kChartRule << std::endl;
    return layout;
  }
  if (layout.tooTall) {
    out << "    CHART TOO TALL TO DRAW : " << layout.rowCount << " ROWS" << std::endl;
    out << std::endl << kChartRule << std::endl;
    return layout;
  }
  if (layout.nowMarker) now_ = *layout.nowMarker;
  if (layout.reversalMarker) reversal_ = *layout.reversalMarker;
  if (overlay) overlay(chart, layout);
  printChart(out, layout, now_, reversal_);
  return layout;
}

}  // namespace tavelund
