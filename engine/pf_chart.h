#pragma once
// The point-and-figure chart: columns built from the price path, one
// snapshot of the current column per applied point, and its drawing as text.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "common/chart_settings.h"
#include "engine/chart_lock.h"
#include "engine/pf_column.h"
#include "intake/price_point.h"

namespace tavelund {

struct ChartMarker {
  int32_t row = 0;
  std::string text;
};

class PfChart {
 public:
  // Run settings; a changed value applies to columns created afterwards.
  int32_t reversal = 3;
  double boxFraction = 0.01;
  int32_t digits = 5;
  int32_t showColumns = 30;

  // Drawing state, rebuilt by every draw except the two markers, which keep
  // their values until a drawing sets them.
  std::vector<PfColumn> view;  // newest first
  int32_t rowCount = 0;
  int32_t maxRow = 0, minRow = 0;
  int32_t rowCursor = 0;
  int32_t viewCount = 0;
  // One text per view column (same order as `view`), one character per row,
  // row 0 at the bottom; "." marks an empty cell.
  std::vector<std::string> grid;
  std::vector<std::string> rowLabels;  // top line first
  ChartMarker nowMarker;
  ChartMarker reversalMarker;
  // Charts taller than this cannot be meant to be read on a console; they
  // come from absurd prices (a zero price makes boxes of size 0) and would
  // need gigabytes of cells, so draw says so instead.
  int32_t maxDrawRows = 100000;

  // Take chartLock themselves.
  void applySettings(const ChartSettings& settings, int32_t digits);
  void update(const std::vector<PricePoint>& batch, ChartSettings& settings);
  void draw(std::ostream& out, const ChartSettings& settings);

  // The caller holds chartLock. A copy of the snapshot that the view shows at
  // this offset (outside 0..k-1 means the newest), or a default column when
  // there are no snapshots.
  PfColumn lastLineColumn(int32_t viewOffset) const;

  const std::vector<PfColumn>& snapshots() const { return snapshots_; }
  const std::vector<PfColumn>& columns() const { return columns_; }
  const std::vector<PricePoint>& points() const { return points_; }

  // The steps of update and draw; the caller holds chartLock.
  void applyBatch(const std::vector<PricePoint>& batch);  // update without lock and offsets
  void addPoint(const PricePoint& point);
  void replaceLastColumn(const PfColumn& column);
  void selectView(int32_t offset, int32_t showColumns);
  void layoutRows();
  void buildGrid();
  void printChart(std::ostream& out) const;

  // Index of the snapshot shown at `offset`: H - offset - 1, or the newest
  // when that falls outside the list; -1 when there are no snapshots.
  int32_t snapshotIndexForOffset(int32_t offset) const;

 private:
  void takeBack(int32_t recordIndex);
  void rebuildFromPoints();
  void applyPoint(const ColumnPoint& point);
  SharedText textOf(const PricePoint& point);
  PfColumn newColumn(const PfColumn& from, const ColumnPoint& point, int32_t direction) const;

  // The chart as it stood before the newest record's first point.
  struct Checkpoint {
    int32_t record = -1;
    size_t points = 0;
    size_t columns = 0;
    PfColumn column;
  };

  Checkpoint checkpoint_;
  std::vector<PricePoint> points_;
  std::vector<PfColumn> columns_;
  std::vector<PfColumn> snapshots_;
  SharedText lastText_;  // the text of the latest point, shared by the next of its record
  SharedText percentCache_;
  double percentCacheFraction_ = -1;
  int32_t percentCacheDigits_ = -1;
};

}  // namespace tavelund
