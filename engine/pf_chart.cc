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
  build_ = BuildSettings{settings.reversal, settings.boxFraction, newDigits};
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
