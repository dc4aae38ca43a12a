#pragma once
// The chart as one drawing shows it, as a plain value: the shown columns
// with their rows, the row range, each cell's glyph, the row labels and the
// markers. The text drawing, the SVG picture, the trend-line overlay and the
// analysis all read this one layout.
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/chart_settings.h"
#include "engine/pf_chart.h"

namespace tavelund {

struct ChartMarker {
  int32_t row = 0;
  std::string text;
};

// Rows are counted in boxes; larger numbers are higher prices. For an X
// column the start row is its bottom box and the end row its top box, for
// an O column the other way round.
struct LaidColumn {
  PfColumn column;
  int32_t startRow = 0, endRow = 0;
  int32_t bottomRow() const { return column.direction > 0 ? startRow : endRow; }
  int32_t topRow() const { return column.direction > 0 ? endRow : startRow; }
};

// The row rule: the oldest shown column starts at row 0; an X column
// starts one row above the bottom of the O column before it, an O column
// one row below the top of the X column before it. Undecided columns take
// no rows.
struct RowSpan {
  int64_t startRow = 0, endRow = 0;
};
// The row rule read backward: the rows of the column before one whose
// first box lies in `afterStartRow`, given that column's box count (its
// direction is the opposite of `afterDirection`).
RowSpan rowsBefore(int64_t afterStartRow, int32_t afterDirection, int32_t boxes);
int32_t clampedRow(int64_t row);

// Charts taller than this cannot be meant to be read on a console; they
// come from absurd prices (a zero price makes boxes of size 0) and would
// need gigabytes of cells, so the drawing says so instead.
inline constexpr int32_t kMostDrawRows = 100000;

struct LayoutRequest {
  int32_t viewOffset = 0;  // points back from the newest (see ChartSettings)
  int32_t showColumns = 30;
  int32_t mostRows = kMostDrawRows;
};

struct ChartLayout {
  // The snapshot shown at the offset, after the columns before it, oldest
  // first: at most showColumns entries, the snapshot last. Empty when the
  // chart has no columns.
  std::vector<LaidColumn> columns;
  int32_t snapshot = -1;  // the index of the shown snapshot
  int32_t minRow = 0, maxRow = 0;
  int32_t rowCursor = 0;  // where the row rule ended
  int32_t rowCount = 1;   // maxRow - minRow + 1
  bool tooTall = false;   // more rows than the request allows: no cells
  // (and no labels or markers)
  // Unless too tall: per column (same order), one glyph per row, row index
  // r (0 at the bottom) standing for row minRow + r; "." marks an empty
  // cell, and an overlay may mark empty cells.
  std::vector<std::string> cells;
  // The labels of the newest column, top line first: label i belongs to row
  // maxRow + 1 - i (one above the top row, one per row, two below the
  // bottom row; the last is never printed). Empty when the newest column
  // is undecided.
  std::vector<std::string> rowLabels;
  // The markers this layout sets (the newest column decided); a drawing
  // keeps the ones before otherwise.
  std::optional<ChartMarker> nowMarker, reversalMarker;
  int32_t digits = 5;
  // The chart's price grid, when it is built on one: row r of a column
  // then stands for the level column.endLevel + (r - endRow).
  std::optional<PriceGrid> grid;
  // Why the chart holds no columns (see PfChart::problem); drawn instead.
  std::string problem;

  int32_t shown() const { return static_cast<int32_t>(columns.size()); }
  int64_t cellRow(int64_t row) const { return row - minRow; }
};

// The chart as it stood at the request's offset. The caller holds chartLock.
ChartLayout layOutChart(const PfChart& chart, const LayoutRequest& request);

// The drawing's lines: the top line, the rows top to bottom with their
// labels and the markers, the bottom line, an empty line and the rule.
void printChart(std::ostream& out, const ChartLayout& layout, const ChartMarker& nowMarker,
                const ChartMarker& reversalMarker);

// The text drawing as the viewer and the printer show it. It remembers the
// two markers between drawings: they start as row 0 with an empty text and
// keep their values unless a drawing sets them.
class ChartDrawing {
 public:
  explicit ChartDrawing(int32_t mostRows = kMostDrawRows) : mostRows_(mostRows) {}

  // Called once the layout is built and before it is printed, still under
  // the lock; it may mark empty cells. Not called for a chart too tall to
  // draw.
  using Overlay = std::function<void(const PfChart& chart, ChartLayout& layout)>;

  // Takes chartLock, lays the chart out at the settings' view offset and
  // prints it; returns the layout drawn.
  ChartLayout draw(std::ostream& out, const PfChart& chart, const ChartSettings& settings,
                   const Overlay& overlay = {});

  const ChartMarker& nowMarker() const { return now_; }
  const ChartMarker& reversalMarker() const { return reversal_; }

 private:
  int32_t mostRows_;
  ChartMarker now_, reversal_;
};

}  // namespace tavelund
