// Column building: one snapshot of the current column per applied point.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <mutex>
#include <vector>

#include "common/number_text.h"
#include "engine/pf_chart.h"
#include "common/prefault.h"

namespace tavelund {
namespace {

// Room for `extra` more entries and a quarter more, so that the refreshes
// that each add a bar to millions of points do not move them all again and
// again. Room never written stays virtual and costs no memory.
template <typename T>
void roomFor(std::vector<T>& list, size_t extra) {
  const size_t needed = list.size() + extra;
  if (needed <= list.capacity()) return;
  list.reserve(std::max(needed + needed / 4, list.capacity() + list.capacity() / 2));
}

}  // namespace

int32_t truncatedBoxCount(double quotient) {
  if (std::isnan(quotient)) return 0;
  constexpr double limit = 2147483647.0;
  if (quotient >= limit) return std::numeric_limits<int32_t>::max();
  if (quotient <= -limit) return -std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(quotient);
}

void PfChart::applySettings(const ChartSettings& settings, int32_t newDigits) {
  std::lock_guard<std::mutex> lock(chartLock);
  const bool sameScale = build_.scale == settings.grid;
  build_ = BuildSettings{settings.reversal, settings.boxFraction, newDigits, settings.grid,
                         settings.highLowMethod()};
  thresholds_ = GridThresholds{};  // worked out again for the reversal now set
  if (!sameScale) {
    // A grid is resolved from the next points built (an ATR box from them).
    grid_.reset();
    problem_.clear();
  }
}

void PfChart::update(PointSpan batch, ChartSettings& settings) {
  std::lock_guard<std::mutex> lock(chartLock);
  applyBatch(batch);
  settings.limitView(static_cast<int32_t>(snapshots_.size()) - 1);
}

void PfChart::update(std::span<const PricePoint> batch, ChartSettings& settings) {
  if (!batch.empty()) {
    std::lock_guard<std::mutex> lock(chartLock);
    if (!readsOwnPoints_) {
      // The points applied so far came from a path: the chart goes on with
      // copies of them.
      CopiedPoints copies;
      const size_t readable = readablePoints();
      copies.reserve(readable + batch.size());
      for (size_t at = 0; at < readable; ++at) copies.append(path_->at(at));
      ownPoints_ = std::move(copies);
      path_ = &ownPoints_;
      readsOwnPoints_ = true;
      rebuildFromPoints(readable);
    }
    // The copies of the batch's first record and later are replaced.
    size_t keep = ownPoints_.size();
    while (keep > 0 && ownPoints_.at(keep - 1).recordIndex >= batch.front().recordIndex) --keep;
    ownPoints_.shrinkTo(keep);
    ownPoints_.reserve(keep + batch.size());
    for (const PricePoint& point : batch) ownPoints_.append(point);
  }
  update(PointSpan::tail(ownPoints_, ownPoints_.size() - batch.size()), settings);
}

void PfChart::startOver(const PricePath* path) {
  columns_.clear();
  states_.clear();
  snapshots_.clear();
  applied_ = 0;
  checkpoint_ = Checkpoint{};
  lowest_ = highest_ = 0;
  if (build_.scale && grid_) problem_.clear();
  readsOwnPoints_ = path == &ownPoints_;
  if (!readsOwnPoints_) ownPoints_ = CopiedPoints();
  path_ = path;
}

void PfChart::applyBatch(PointSpan batch) {
  if (batch.empty()) return;
  // Another path: its points are applied from its first one.
  if (batch.path() != path_) startOver(batch.path());
  const PricePath& path = *path_;
  // The path changed from the batch on: the points applied there are gone.
  // Walking back from there, those of the batch's first record or later
  // are taken back too.
  const int32_t recordIndex = batch.front().recordIndex;
  size_t keep = std::min(applied_, batch.first());
  while (keep > 0 && path.at(keep - 1).recordIndex >= recordIndex) --keep;
  takeBack(keep, recordIndex);

  // What is applied now: every point of the path not applied yet (the
  // batch, and after a change of path also those before it).
  const size_t from = applied_, count = path.size() - from;
  if (build_.scale && !prepareGrid(path)) return;
  roomFor(snapshots_, count);
  // A full batch fills many MiB: back them on another thread meanwhile.
  Prefault prefault({roomOf(snapshots_, count)}, count);
  // The next refresh re-reads the batch's newest record: note the chart as
  // it stands before that record, to take it back exactly.
  const int32_t newestRecord = path.at(path.size() - 1).recordIndex;
  size_t newestStart = path.size();
  while (newestStart > from && path.at(newestStart - 1).recordIndex == newestRecord) --newestStart;
  for (size_t at = from; at < path.size(); ++at) {
    if (at == newestStart) {
      checkpoint_.record = newestRecord;
      checkpoint_.points = applied_;
      checkpoint_.columns = columns_.size();
      checkpoint_.states = states_.size();
      checkpoint_.column = columns_.empty() ? StoredColumn{} : columns_.back();
    }
    ++applied_;
    applyPoint(static_cast<int32_t>(at));
    if (((at - from) & 1023) == 1023) prefault.reached(at - from);
  }
  // The grid was read without levels being counted: a box far too small for
  // the prices it met is refused now, before anything lays out its rows.
  if (grid_ && grid_->levelCount(lowest_, highest_) > kMostGridLevels) {
    refuseGrid("BOX " + gridScaleText(*build_.scale) + " : more than " +
               std::to_string(kMostGridLevels) + " LEVELS FROM " +
               fixedText(lowest_, build_.digits) + " TO " + fixedText(highest_, build_.digits));
  }
}

// Takes back every point from `keep` on (those of record `recordIndex` or
// later), with its snapshot and whatever it did to the columns, so the chart
// stands exactly as after the last point kept. Trimming the columns by their
// end points alone would also drop a column that earlier records built and
// the re-read record merely extended, and re-applying the record could not
// bring it back.
void PfChart::takeBack(size_t keep, int32_t recordIndex) {
  if (keep == applied_) return;
  if (recordIndex == checkpoint_.record && keep == checkpoint_.points &&
      checkpoint_.columns <= columns_.size() && checkpoint_.states <= states_.size()) {
    // The usual case: the newest record again. Its start was noted.
    applied_ = keep;
    snapshots_.resize(keep);
    states_.resize(checkpoint_.states);
    columns_.resize(checkpoint_.columns);
    if (!columns_.empty()) columns_.back() = checkpoint_.column;
    return;
  }
  // Any other record: build the chart again from the points before it
  // (rare: the intake always re-reads from its newest record).
  rebuildFromPoints(keep);
}

void PfChart::rebuildFromPoints(size_t keep) {
  columns_.clear();
  states_.clear();
  snapshots_.clear();
  checkpoint_ = Checkpoint{};
  applied_ = 0;
  for (size_t at = 0; at < keep; ++at) {
    ++applied_;
    applyPoint(static_cast<int32_t>(at));
  }
}

ColumnPoint PfChart::pointAt(int32_t from, int32_t at) const {
  const auto count = static_cast<int64_t>(readablePoints());
  if (from < 0 || from >= count || at < 0 || at >= count) return ColumnPoint{};
  const PricePoint source = path_->at(static_cast<size_t>(from));
  const PricePoint seen = path_->at(static_cast<size_t>(at));
  ColumnPoint point(source);
  point.index = seen.index;
  point.recordIndex = seen.recordIndex;
  return point;
}

// The column that a state belongs to: the last one whose states start at or
// before it.
size_t PfChart::columnOfState(int32_t state) const {
  const auto after =
      std::upper_bound(columns_.begin(), columns_.end(), state,
                       [](int32_t s, const StoredColumn& column) { return s < column.firstState; });
  return after == columns_.begin() ? 0 : static_cast<size_t>(after - columns_.begin() - 1);
}

PfColumn PfChart::unpack(size_t c, int32_t stateAt, int32_t endAt, int32_t lastAt) const {
  const StoredColumn& stored = columns_[c];
  const ColumnState& state = states_[static_cast<size_t>(stateAt)];
  PfColumn column;
  column.number = static_cast<int32_t>(c) - 1;
  // Only the first column starts undecided, and only its first state is.
  column.direction = c == 0 && stateAt == stored.firstState ? 0 : stored.direction;
  column.boxes =
      column.direction == 0 ? BoxRun() : BoxRun(column.direction > 0 ? 'X' : 'O', state.boxCount);
  if (stored.percent >= 0 && stored.percent < static_cast<int32_t>(percentTexts_.size())) {
    column.percentText = percentTexts_[static_cast<size_t>(stored.percent)].text;
    column.percent = percentTexts_[static_cast<size_t>(stored.percent)].value;
  }
  column.startPoint = pointAt(stored.startFrom, stored.startAt);
  column.endPoint = pointAt(endAt, endAt);
  column.extremePrice = state.extremePrice;
  column.reversalPrice = state.reversalPrice;
  column.boxSize = stored.boxSize;
  column.basePrice = stored.basePrice;
  if (column.direction > 0)
    column.endBoxPrice = stored.basePrice + state.boxCount * stored.boxSize;
  else if (column.direction < 0)
    column.endBoxPrice = stored.basePrice - state.boxCount * stored.boxSize;
  else
    column.endBoxPrice = stored.basePrice;  // the first price
  if (grid_ && column.direction != 0) {
    // Boxes on the grid's levels: the prices are the levels' own.
    const int64_t last = std::max<int64_t>(state.boxCount, 1) - 1;
    column.startLevel = stored.startLevel;
    column.endLevel = stored.startLevel + (column.direction > 0 ? last : -last);
    column.basePrice = grid_->level(column.startLevel);
    column.endBoxPrice = grid_->level(column.endLevel);
    column.boxSize =
        std::fabs(grid_->level(column.startLevel + column.direction) - column.basePrice);
  }
  column.lastPoint = pointAt(lastAt, lastAt);
  return column;
}

PfColumn PfChart::columnAt(size_t c) const {
  const StoredColumn& stored = columns_[c];
  // A column's last point is the one that last changed it: its end point.
  const int32_t endAt = states_[static_cast<size_t>(stored.newestState)].endAt;
  return unpack(c, stored.newestState, endAt, endAt);
}

PfColumn PfChart::snapshotAt(size_t k) const {
  const Snapshot snapshot = snapshots_[k];
  const int32_t own = static_cast<int32_t>(k);  // snapshot k belongs to point k
  const int32_t endAt =
      snapshot.endsAtOwnPoint() ? own : states_[static_cast<size_t>(snapshot.state())].endAt;
  return unpack(columnOfState(snapshot.state()), snapshot.state(), endAt, own);
}

PfColumn ColumnList::operator[](size_t at) const {
  return of_ == Of::columns ? chart_->columnAt(at) : chart_->snapshotAt(at);
}

void PfChart::updatePercent() {
  if (percentFraction_ == build_.boxFraction && percentDigits_ == build_.digits) return;
  const std::string text = fixedText(build_.boxFraction * 100, build_.digits);
  percent_ = -1;
  for (size_t i = 0; i < percentTexts_.size(); ++i)
    if (percentTexts_[i].text == text) percent_ = static_cast<int32_t>(i);
  if (percent_ < 0) {
    // The number as the text shows it (rounded to the digits), so that the
    // labels counted with it agree with the text.
    percentTexts_.push_back({texts_.store(text), std::strtod(text.c_str(), nullptr)});
    percent_ = static_cast<int32_t>(percentTexts_.size() - 1);
  }
  percentFraction_ = build_.boxFraction;
  percentDigits_ = build_.digits;
}

// The first point (or the first after a rebuild) opens the undecided column.
void PfChart::openFirstColumn(int32_t at) {
  const double p = path_->priceAt(static_cast<size_t>(at));
  StoredColumn first;
  first.percent = percent_;
  first.startFrom = first.startAt = at;
  first.direction = 0;
  first.boxSize = p * build_.boxFraction;
  first.basePrice = p;
  first.firstState = first.newestState = static_cast<int32_t>(states_.size());
  states_.push_back(ColumnState{p, 0, 0, at});
  columns_.push_back(first);
  snapshots_.push_back(Snapshot(first.newestState, false));
}

// The current column takes point `at` as its new extreme in `direction`:
// the decision of the first column, a new high or low, or the first extreme
// of a column just opened by a reversal. The boxes are counted again from
// the base, in the box size fixed when the column was created.
void PfChart::extendTo(int32_t at, int32_t direction) {
  const double f = build_.boxFraction;
  const double R = static_cast<double>(build_.reversal);
  const double p = path_->priceAt(static_cast<size_t>(at));
  StoredColumn& column = columns_.back();
  ColumnState state;
  state.extremePrice = p;
  state.endAt = at;
  if (direction > 0) {
    state.boxCount = truncatedBoxCount((p - column.basePrice) / column.boxSize);
    state.reversalPrice = p - (p * f) * R;
  } else {
    state.boxCount = truncatedBoxCount((column.basePrice - p) / column.boxSize);
    state.reversalPrice = (p * f) * R + p;
  }
  column.direction = direction;
  column.newestState = static_cast<int32_t>(states_.size());
  states_.push_back(state);
}

// Point `at` reverses the current column: the snapshot shows the old column
// as it stood, and a new column opens at the old extreme.
void PfChart::reverseTo(int32_t at, int32_t direction) {
  const StoredColumn from = columns_.back();
  const ColumnState& fromState = states_[static_cast<size_t>(from.newestState)];
  snapshots_.push_back(Snapshot(from.newestState, false));
  StoredColumn column;
  column.percent = percent_;
  column.boxSize = fromState.extremePrice * build_.boxFraction;
  column.basePrice = fromState.extremePrice;
  column.startFrom = fromState.endAt;
  column.startAt = at;
  column.firstState = static_cast<int32_t>(states_.size());
  columns_.push_back(column);
  extendTo(at, direction);
}

void PfChart::applyPoint(int32_t at) {
  if (grid_) return applyGridPoint(at);
  const double R = static_cast<double>(build_.reversal);
  const double p = path_->priceAt(static_cast<size_t>(at));
  updatePercent();
  if (columns_.empty()) return openFirstColumn(at);

  const StoredColumn& column = columns_.back();
  const ColumnState& state = states_[static_cast<size_t>(column.newestState)];
  // The first test that applies is the only one: with positive prices no
  // second test could apply anyway, and with zero or negative prices a new
  // extreme would otherwise reverse at once and leave two snapshots.
  int32_t extend = 0, reverse = 0;
  if (column.direction == 0) {
    if (p > state.extremePrice + R * column.boxSize)
      extend = 1;
    else if (state.extremePrice - R * column.boxSize > p)
      extend = -1;
  } else if (column.direction == 1) {
    if (p > state.extremePrice)
      extend = 1;
    else if (state.reversalPrice >= p)
      reverse = -1;
  } else {
    if (state.extremePrice > p)
      extend = -1;
    else if (p >= state.reversalPrice)
      reverse = 1;
  }
  if (extend != 0) {
    extendTo(at, extend);
    snapshots_.push_back(Snapshot(columns_.back().newestState, false));
  } else if (reverse != 0) {
    reverseTo(at, reverse);
  } else {
    // No change: the snapshot still records this point, as its end point.
    snapshots_.push_back(Snapshot(column.newestState, true));
  }
}

// Resolves the grid on the chart's first points; a chart whose grid cannot
// be built says why and holds no columns.
bool PfChart::prepareGrid(const PricePath& path) {
  if (!grid_ && problem_.empty()) {
    std::vector<GridBar> bars;
    if (build_.scale->kind == GridScale::Kind::atr) {
      // The last N bars and the one before them, for its close.
      const size_t n = static_cast<size_t>(build_.scale->atrBars) + 1;
      for (size_t at = path.size() > n ? path.size() - n : 0; at < path.size(); ++at) {
        const BarRange range = path.barRange(at);
        bars.push_back(GridBar{range.high, range.low, path.priceAt(at)});
      }
    }
    std::string reason;
    grid_ = gridForScale(*build_.scale, bars, reason);
    if (!grid_) problem_ = "BOX " + gridScaleText(*build_.scale) + " : " + reason;
  }
  if (!problem_.empty()) {
    refuseGrid(problem_);
    return false;
  }
  return true;
}

void PfChart::refuseGrid(std::string problem) {
  problem_ = std::move(problem);
  columns_.clear();
  states_.clear();
  snapshots_.clear();
  checkpoint_ = Checkpoint{};
  // The points count as read: the next batch checks its own again.
  applied_ = path_ ? path_->size() : 0;
}

// One bar on the grid: extend the current column, reverse it, or nothing.
// Its snapshot shows the column after the bar (after a reversal, the new
// one). Most bars change nothing: two comparisons with prices worked out
// once per column end tell so without asking the grid for levels.
void PfChart::applyGridPoint(int32_t at) {
  updatePercent();
  // One read of the path per bar: its close, or its low and high.
  BarRange range;
  if (build_.highLow) {
    range = path_->barRange(static_cast<size_t>(at));
  } else {
    range.low = range.high = path_->priceAt(static_cast<size_t>(at));
  }
  if (columns_.empty()) {
    lowest_ = range.low, highest_ = range.high;
    return openFirstColumn(at);
  }
  lowest_ = std::min(lowest_, range.low);
  highest_ = std::max(highest_, range.high);
  const PriceGrid& grid = *grid_;
  const StoredColumn& column = columns_.back();
  const ColumnState& state = states_[static_cast<size_t>(column.newestState)];
  const int64_t R = build_.reversal;
  if (column.direction == 0) {
    const double p0 = state.extremePrice;
    const int64_t upHigh = grid.up(range.high), startUp = grid.up(p0);
    if (upHigh >= startUp + 1) {
      columns_.back().direction = 1;
      columns_.back().startLevel = startUp + 1;
      return extendGrid(at, upHigh, range.high);
    }
    const int64_t downLow = grid.down(range.low), startDown = grid.down(p0);
    if (downLow <= startDown - 1) {
      columns_.back().direction = -1;
      columns_.back().startLevel = startDown - 1;
      return extendGrid(at, downLow, range.low);
    }
    snapshots_.push_back(Snapshot(column.newestState, true));
    return;
  }
  const int64_t last = std::max(state.boxCount, 1) - 1;
  const int64_t end = column.startLevel + (column.direction > 0 ? last : -last);
  if (thresholds_.direction != column.direction || thresholds_.endLevel != end) {
    thresholds_ = {column.direction, end, grid.level(end + column.direction),
                   grid.level(end - column.direction * R)};
  }
  // Farther from a level than any tolerance of the grid: surely not on it.
  auto margin = [](double level) { return 1e-8 * std::fabs(level); };
  if (column.direction > 0) {
    if (range.high > thresholds_.extend - margin(thresholds_.extend)) {
      const int64_t upHigh = grid.up(range.high);
      if (upHigh > end) return extendGrid(at, upHigh, range.high);
    }
    if (range.low < thresholds_.reverse + margin(thresholds_.reverse)) {
      const int64_t downLow = grid.down(range.low);
      if (downLow <= end - R) return reverseGrid(at, -1, end - 1, downLow, range.low);
    }
  } else {
    if (range.low < thresholds_.extend + margin(thresholds_.extend)) {
      const int64_t downLow = grid.down(range.low);
      if (downLow < end) return extendGrid(at, downLow, range.low);
    }
    if (range.high > thresholds_.reverse - margin(thresholds_.reverse)) {
      const int64_t upHigh = grid.up(range.high);
      if (upHigh >= end + R) return reverseGrid(at, 1, end + 1, upHigh, range.high);
    }
  }
  snapshots_.push_back(Snapshot(column.newestState, true));
}

// The current column's outer box moves to `level`, reached by `price`.
void PfChart::extendGrid(int32_t at, int64_t level, double price) {
  StoredColumn& column = columns_.back();
  ColumnState state;
  state.extremePrice = price;
  state.endAt = at;
  state.boxCount = static_cast<int32_t>(std::llabs(level - column.startLevel) + 1);
  // The next column starts once the price reaches R levels back.
  state.reversalPrice = grid_->level(level - int64_t{column.direction} * build_.reversal);
  column.newestState = static_cast<int32_t>(states_.size());
  states_.push_back(state);
  snapshots_.push_back(Snapshot(column.newestState, false));
}

void PfChart::reverseGrid(int32_t at, int32_t direction, int64_t startLevel, int64_t level,
                          double price) {
  const StoredColumn& from = columns_.back();
  StoredColumn column;
  column.percent = percent_;
  column.startFrom = states_[static_cast<size_t>(from.newestState)].endAt;
  column.startAt = at;
  column.firstState = static_cast<int32_t>(states_.size());
  column.direction = direction;
  column.startLevel = startLevel;
  columns_.push_back(column);
  extendGrid(at, level, price);
}

int32_t PfChart::snapshotIndexForOffset(int32_t offset) const {
  const int64_t count = static_cast<int64_t>(snapshots_.size());
  if (count == 0) return -1;
  int64_t k = count - static_cast<int64_t>(offset) - 1;
  if (k < 0 || k >= count) k = count - 1;
  return static_cast<int32_t>(k);
}

PfColumn PfChart::lastLineColumn(int32_t viewOffset) const {
  const int32_t k = snapshotIndexForOffset(viewOffset);
  return k < 0 ? PfColumn{} : snapshotAt(static_cast<size_t>(k));
}

}  // namespace tavelund
