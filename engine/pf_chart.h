#pragma once
// The point-and-figure chart: columns built from the price path, one
// snapshot of the current column per applied point, and its drawing as text.
#include <cstdint>
#include <algorithm>
#include <cstddef>
#include <functional>
#include <iterator>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "common/chart_settings.h"
#include "common/chart_lock.h"
#include "engine/pf_column.h"
#include "intake/price_point.h"
#include "common/text_arena.h"

namespace tavelund {

struct ChartMarker {
  int32_t row = 0;
  std::string text;
};

class PfChart;

// A box count as the chart computes it: the quotient truncated toward zero.
// Quotients beyond the 32-bit range (a zero or absurd price) saturate
// instead of overflowing; NaN counts none.
int32_t truncatedBoxCount(double quotient);

// A read-only list of the chart's stored columns or snapshots, each read as
// a full PfColumn value. Valid while the chart is unchanged.
class ColumnList {
 public:
  enum class Of { columns, snapshots };

  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = PfColumn;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = PfColumn;
    iterator(const ColumnList* list, size_t at) : list_(list), at_(at) {}
    PfColumn operator*() const { return (*list_)[at_]; }
    iterator& operator++() { return ++at_, *this; }
    iterator operator++(int) {
      iterator was = *this;
      ++at_;
      return was;
    }
    friend bool operator==(const iterator& a, const iterator& b) { return a.at_ == b.at_; }

   private:
    const ColumnList* list_;
    size_t at_;
  };

  ColumnList(const PfChart& chart, Of of, size_t size) : chart_(&chart), of_(of), size_(size) {}
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  PfColumn operator[](size_t at) const;
  PfColumn front() const { return (*this)[0]; }
  PfColumn back() const { return (*this)[size() - 1]; }
  iterator begin() const { return iterator(this, 0); }
  iterator end() const { return iterator(this, size()); }

 private:
  const PfChart* chart_;
  Of of_;
  size_t size_;
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

  PfChart() = default;
  PfChart(const PfChart&) = delete;
  PfChart& operator=(const PfChart&) = delete;
  PfChart(PfChart&&) = default;
  PfChart& operator=(PfChart&&) = default;

  // Take chartLock themselves.
  void applySettings(const ChartSettings& settings, int32_t digits);
  // `batch` is the tail of a path from which the chart reads its points:
  // the path holds, before the batch, the points applied so far (the chart
  // keeps no copy of them), and changes only from a batch's first point on,
  // and only between updates. A batch of another path than the last one
  // builds the chart anew from that path's first point.
  void update(PointSpan batch, ChartSettings& settings);
  // The same for points the caller keeps only for the call: the chart keeps
  // copies of them (and of the points it applied from a path before).
  void update(std::span<const PricePoint> batch, ChartSettings& settings);
  // `overlay`, when given, is called once the drawing is built (view, rows,
  // grid, labels, markers) and before it is printed, still under the lock:
  // it may read the drawing and mark empty cells. Not called when the chart
  // is too tall to draw.
  using GridOverlay = std::function<void(PfChart& chart)>;
  void draw(std::ostream& out, const ChartSettings& settings, const GridOverlay& overlay = {});

  // The caller holds chartLock. A copy of the snapshot that the view shows at
  // this offset (outside 0..k-1 means the newest), or a default column when
  // there are no snapshots.
  PfColumn lastLineColumn(int32_t viewOffset) const;

  ColumnList snapshots() const {
    return ColumnList(*this, ColumnList::Of::snapshots, snapshots_.size());
  }
  ColumnList columns() const { return ColumnList(*this, ColumnList::Of::columns, columns_.size()); }
  // The applied points.
  PointSpan points() const { return path_ ? PointSpan(*path_, 0, readablePoints()) : PointSpan(); }
  PfColumn snapshotAt(size_t k) const;
  PfColumn columnAt(size_t c) const;
  // Index of the snapshot shown at `offset`: H - offset - 1, or the newest
  // when that falls outside the list; -1 when there are no snapshots.
  int32_t snapshotIndexForOffset(int32_t offset) const;

  // Memory held for the snapshots (their states included), for the record.
  size_t snapshotBytes() const {
    return snapshots_.size() * sizeof(Snapshot) + states_.size() * sizeof(ColumnState);
  }

 private:
  // The steps of update and draw; the caller holds chartLock.
  void applyBatch(PointSpan batch);  // update without lock and offsets
  void startOver(const PricePath* path);
  void selectView(int32_t offset, int32_t showColumns);
  void layoutRows();
  void buildGrid();
  void printChart(std::ostream& out) const;

  void takeBack(size_t keep, int32_t recordIndex);
  void rebuildFromPoints(size_t keep);
  void applyPoint(int32_t at);
  void openFirstColumn(int32_t at);
  void extendTo(int32_t at, int32_t direction);
  void reverseTo(int32_t at, int32_t direction);
  void updatePercent();
  size_t readablePoints() const { return path_ ? std::min(applied_, path_->size()) : 0; }
  ColumnPoint pointAt(int32_t from, int32_t at) const;
  size_t columnOfState(int32_t state) const;
  PfColumn unpack(size_t c, int32_t state, int32_t endAt, int32_t lastAt) const;

  // The chart as it stood before the newest record's first point.
  struct Checkpoint {
    int32_t record = -1;
    size_t points = 0;
    size_t columns = 0;
    size_t states = 0;
    StoredColumn column;
  };

  Checkpoint checkpoint_;
  const PricePath* path_ = nullptr;  // where the points are read from
  CopiedPoints ownPoints_;           // the path of points given by the caller
  size_t applied_ = 0;               // points applied from the path
  std::vector<StoredColumn> columns_;
  std::vector<ColumnState> states_;
  std::vector<Snapshot> snapshots_;
  TextArena texts_;  // the percent texts
  std::vector<std::string_view> percentTexts_;
  int32_t percent_ = -1;
  double percentFraction_ = -1;
  int32_t percentDigits_ = -1;
};

}  // namespace tavelund
