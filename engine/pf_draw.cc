// Drawing the chart as text: the view (the chosen snapshot and the columns
// before it), its rows, the grid of cells with labels and markers, the lines.
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>

#include "common/number_text.h"
#include "engine/pf_chart.h"

namespace tavelund {
namespace {

int32_t clampRow(int64_t row) {
  return static_cast<int32_t>(std::clamp<int64_t>(row, INT32_MIN, INT32_MAX));
}

}  // namespace

void PfChart::draw(std::ostream& out, const ChartSettings& settings, const GridOverlay& overlay) {
  std::lock_guard<std::mutex> lock(chartLock);
  selectView(settings.viewOffset, showColumns);
  layoutRows();
  if (rowCount > maxDrawRows) {
    out << "    CHART TOO TALL TO DRAW : " << rowCount << " ROWS" << std::endl;
    out << std::endl << std::string(96, '-') << std::endl;
    return;
  }
  buildGrid();
  if (overlay) overlay(*this);
  printChart(out);
}

void PfChart::selectView(int32_t offset, int32_t columnLimit) {
  view.clear();
  if (columns_.empty() || snapshots_.empty()) return;
  // Snapshot k belongs to point k, which is also its last point.
  view.push_back(snapshotAt(static_cast<size_t>(snapshotIndexForOffset(offset))));
  // A column numbered c follows columns_[c].
  int64_t c = view.front().number;
  if (c >= static_cast<int64_t>(columns_.size())) c = static_cast<int64_t>(columns_.size()) - 1;
  while (c >= 0 && static_cast<int64_t>(view.size()) < columnLimit) {
    view.push_back(columnAt(static_cast<size_t>(c)));
    --c;
  }
}

void PfChart::layoutRows() {
  maxRow = 0;
  minRow = 0;
  rowCursor = 0;
  viewCount = static_cast<int32_t>(view.size());
  // Wide arithmetic: absurd box counts must not overflow the row numbers.
  int64_t cursor = 0, high = 0, low = 0;
  for (int32_t j = viewCount - 1; j >= 0; --j) {
    PfColumn& column = view[static_cast<size_t>(j)];
    const int64_t n = column.boxes.size();
    const bool oldest = j == viewCount - 1;
    if (column.direction == 1) {
      cursor = oldest ? cursor - 1 + n : cursor + n;
      high = std::max(high, cursor);
      column.startRow = clampRow(cursor - n + 1);
      column.endRow = clampRow(cursor);
      column.viewIndex = j;
    } else if (column.direction == -1) {
      cursor = oldest ? cursor - n + 1 : cursor - n;
      low = std::min(low, cursor);
      column.startRow = clampRow(cursor - 1 + n);
      column.endRow = clampRow(cursor);
      column.viewIndex = j;
    }
  }
  maxRow = clampRow(high);
  minRow = clampRow(low);
  rowCursor = clampRow(cursor);
  rowCount = clampRow(high - low + 1);
}

void PfChart::buildGrid() {
  rowLabels.clear();
  grid.assign(static_cast<size_t>(viewCount), std::string(static_cast<size_t>(rowCount), '.'));
  auto formatted = [&](double value) { return fixedText(value, digits); };
  for (int32_t j = viewCount - 1; j >= 0; --j) {
    const PfColumn& column = view[static_cast<size_t>(j)];
    if (column.direction == 0) continue;
    std::string& cells = grid[static_cast<size_t>(j)];
    const int64_t s = int64_t{column.startRow} - minRow;
    const int64_t e = int64_t{column.endRow} - minRow;
    const bool rising = column.direction == 1;
    const int64_t bottom = rising ? s : e, top = rising ? e : s;
    for (int64_t r = std::max<int64_t>(bottom, 0); r <= std::min<int64_t>(top, rowCount - 1); ++r)
      cells[static_cast<size_t>(r)] = rising ? 'X' : 'O';
    if (j != 0) continue;

    if (s >= 0 && s < rowCount) {
      // Labels, top line first: the percent per box is read back from the
      // column's own text, as the chart formatted it.
      const std::string percent(column.percentText);
      const double pct = std::strtod(percent.c_str(), nullptr);
      const int64_t above = int64_t{maxRow} - column.endRow + 1;
      for (int64_t k = above; k >= 0; --k) {
        rowLabels.push_back("   " + formatted(column.endBoxPrice + k * column.boxSize) + " (+" +
                            formatted(k * pct) + "%)");
      }
      const int64_t below = -(int64_t{column.endRow} - minRow + 2);
      for (int64_t k = -1; k >= below; --k) {
        rowLabels.push_back("   " + formatted(column.endBoxPrice + k * column.boxSize) + " (" +
                            formatted(k * pct) + "%)");
      }
    }
    if (e >= 0 && e < rowCount) {
      const int32_t r = static_cast<int32_t>(e);
      if (rising) {
        nowMarker = {r, " * " + formatted(column.endPoint.price) + " (Now) "};
        reversalMarker = {clampRow(int64_t{r} - reversal),
                          " > " + formatted(column.reversalPrice) + " (Reversal)"};
      } else {
        nowMarker = {r, " * " + formatted(column.endPoint.price) + " (Now)"};
        reversalMarker = {clampRow(int64_t{r} + reversal),
                          " > " + formatted(column.reversalPrice) + " (Reversal)"};
      }
    }
  }
}

void PfChart::printChart(std::ostream& out) const {
  const std::string dots(static_cast<size_t>(viewCount), '.');
  auto label = [&](int64_t i) -> const std::string& {
    static const std::string none;
    return i >= 0 && i < static_cast<int64_t>(rowLabels.size()) ? rowLabels[static_cast<size_t>(i)]
                                                                : none;
  };
  out << dots << label(0) << std::endl;
  std::string line;
  for (int32_t r = rowCount - 1; r >= 0; --r) {
    line.clear();
    for (int32_t j = viewCount - 1; j >= 0; --j)
      line += grid[static_cast<size_t>(j)][static_cast<size_t>(r)];
    line += label(int64_t{rowCount} - r);
    if (r == nowMarker.row) line += nowMarker.text;
    if (r == reversalMarker.row) line += reversalMarker.text;
    out << line << std::endl;
  }
  out << dots << label(int64_t{rowCount} + 1) << std::endl;
  out << std::endl << std::string(96, '-') << std::endl;
}

}  // namespace tavelund
