#pragma once
// The point-and-figure chart: columns built from the price path and one
// snapshot of the current column per applied point. The model only: its
// drawing is laid out by engine/chart_layout.h.
#include <cstdint>
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/chart_settings.h"
#include "common/chart_lock.h"
#include "engine/pf_column.h"
#include "engine/price_grid.h"
#include "intake/price_point.h"
#include "common/text_arena.h"

namespace tavelund {

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
  PfChart() = default;
  PfChart(const PfChart&) = delete;
  PfChart& operator=(const PfChart&) = delete;
  PfChart(PfChart&&) = default;
  PfChart& operator=(PfChart&&) = default;

  // Take chartLock themselves. A changed setting applies to columns
  // created afterwards.
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
  // The settings the chart builds by, as applied.
  int32_t reversal() const { return build_.reversal; }
  double boxFraction() const { return build_.boxFraction; }
  int32_t digits() const { return build_.digits; }
  // The grid the chart is built on (none for the original construction),
  // resolved from its scale by the first points (an ATR box is kept for
  // the chart's life), and whether bars are read by their highs and lows.
  const std::optional<PriceGrid>& grid() const { return grid_; }
  const std::optional<GridScale>& gridScale() const { return build_.scale; }
  bool highLowMethod() const { return build_.highLow; }
  // Why the chart holds no columns although it has points: a grid whose box
  // the data cannot give (an ATR of 0) or that would need more levels than
  // any chart can hold. Empty otherwise.
  const std::string& problem() const { return problem_; }

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
  // How the chart stores its columns and snapshots. A column keeps what
  // is fixed at its creation and the position of its newest state; a state
  // is what one point changed (the extreme and what follows from it); a
  // snapshot is the position of the state it shows. The points are
  // positions in the chart's point list (-1: none), the percent text a
  // number. PfColumn values are built from them on demand.
  struct ColumnState {
    double extremePrice = 0;
    double reversalPrice = 0;
    // The truncated box count as computed: below 1 draws no box, but the
    // outer box edge is still measured with it.
    int32_t boxCount = 0;
    int32_t endAt = -1;  // the point that set the extreme
  };
  // A column's start point is the previous column's end point seen from
  // the point that reversed it: text, kind, minute key and price from
  // `startFrom`, index and record index from `startAt`.
  struct StoredColumn {
    double boxSize = 0;
    double basePrice = 0;
    int32_t startFrom = -1, startAt = -1;
    int32_t percent = -1;     // the chart's percent text number
    int32_t firstState = -1;  // its states are firstState..newestState
    int32_t newestState = -1;
    int32_t direction = 0;
    int64_t startLevel = 0;  // on a grid: the level of its first box
  };
  // One per applied point: the state it shows and where its end point
  // lies. The end point is the state's own, except after a point that
  // changed nothing, whose snapshot ends at that point itself.
  class Snapshot {
   public:
    Snapshot() = default;
    Snapshot(int32_t state, bool endsAtOwnPoint)
        : bits_(static_cast<uint32_t>(state) << 1 | (endsAtOwnPoint ? 1u : 0u)) {}
    int32_t state() const { return static_cast<int32_t>(bits_ >> 1); }
    bool endsAtOwnPoint() const { return (bits_ & 1u) != 0; }

   private:
    uint32_t bits_ = 0;
  };
  struct BuildSettings {
    int32_t reversal = 3;
    double boxFraction = 0.01;
    int32_t digits = 5;
    std::optional<GridScale> scale;
    bool highLow = false;
  };

  // The steps of update; the caller holds chartLock.
  void applyBatch(PointSpan batch);  // update without lock and offsets
  void startOver(const PricePath* path);

  void takeBack(size_t keep, int32_t recordIndex);
  void rebuildFromPoints(size_t keep);
  void applyPoint(int32_t at);
  void openFirstColumn(int32_t at);
  // The construction on one price grid.
  bool prepareGrid(const PricePath& path);
  void refuseGrid(std::string problem);
  void applyGridPoint(int32_t at);
  void extendGrid(int32_t at, int64_t level, double price);
  void reverseGrid(int32_t at, int32_t direction, int64_t startLevel, int64_t level, double price);
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

  BuildSettings build_;
  std::optional<PriceGrid> grid_;
  std::string problem_;
  double lowest_ = 0, highest_ = 0;  // of the prices the grid has read
  // The prices beyond which the current column may extend or reverse,
  // kept for the column end and direction they were worked out for.
  struct GridThresholds {
    int32_t direction = 0;
    int64_t endLevel = 0;
    double extend = 0, reverse = 0;
  };
  GridThresholds thresholds_;
  Checkpoint checkpoint_;
  const PricePath* path_ = nullptr;  // where the points are read from
  // The points given by a caller who keeps them only for the call; while
  // the chart reads these, `path_` points at them.
  CopiedPoints ownPoints_;
  bool readsOwnPoints_ = false;
  size_t applied_ = 0;  // points applied from the path
  std::vector<StoredColumn> columns_;
  std::vector<ColumnState> states_;
  std::vector<Snapshot> snapshots_;
  TextArena texts_;  // the percent texts
  // Each text with the number it shows, which the labels count with.
  struct PercentText {
    std::string_view text;
    double value = 0;
  };
  std::vector<PercentText> percentTexts_;
  int32_t percent_ = -1;
  double percentFraction_ = -1;
  int32_t percentDigits_ = -1;
};

}  // namespace tavelund
