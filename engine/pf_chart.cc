// Column building: one snapshot of the current column per applied point.
#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <vector>

#include "common/number_text.h"
#include "engine/pf_chart.h"
#include "intake/prefault.h"

namespace tavelund {
namespace {

// A box count: the quotient truncated toward zero. Quotients beyond the
// 32-bit range (a zero or absurd price) saturate instead of overflowing.
int32_t truncatedCount(double quotient) {
  if (std::isnan(quotient)) return 0;
  constexpr double limit = 2147483647.0;
  if (quotient >= limit) return std::numeric_limits<int32_t>::max();
  if (quotient <= -limit) return -std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(quotient);
}

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

void PfChart::applySettings(const ChartSettings& settings, int32_t newDigits) {
  std::lock_guard<std::mutex> lock(chartLock);
  reversal = settings.reversal;
  boxFraction = settings.boxFraction;
  showColumns = settings.showColumns;
  digits = newDigits;
}

void PfChart::update(std::span<const PricePoint> batch, ChartSettings& settings) {
  std::lock_guard<std::mutex> lock(chartLock);
  applyBatch(batch);
  settings.viewOffsetLimit = static_cast<int32_t>(snapshots_.size()) - 1;
  if (settings.viewOffset >= settings.viewOffsetLimit)
    settings.viewOffset = settings.viewOffsetLimit;
}

void PfChart::applyBatch(std::span<const PricePoint> batch) {
  if (!points_.empty() && !batch.empty()) takeBack(batch.front().recordIndex);
  roomFor(points_, batch.size());
  roomFor(snapshots_, batch.size());
  // A full batch fills hundreds of MiB: back them on another thread meanwhile.
  Prefault prefault({roomOf(points_, batch.size()), roomOf(snapshots_, batch.size())},
                    batch.size());
  // The next refresh re-reads the batch's newest record: note the chart as
  // it stands before that record, to take it back exactly.
  size_t newestStart = batch.size();
  while (newestStart > 0 && batch[newestStart - 1].recordIndex == batch.back().recordIndex)
    --newestStart;
  for (size_t i = 0; i < batch.size(); ++i) {
    if (i == newestStart) {
      checkpoint_.record = batch[i].recordIndex;
      checkpoint_.points = points_.size();
      checkpoint_.columns = columns_.size();
      checkpoint_.column = columns_.empty() ? PackedColumn{} : columns_.back();
    }
    addPoint(batch[i]);
    if ((i & 1023) == 1023) prefault.reached(i);
  }
}

// Takes back every trailing point of record `recordIndex` or later, with its
// snapshot and whatever it did to the columns, so the chart stands exactly as
// after the last point kept. Trimming the columns by their end points alone
// would also drop a column that earlier records built and the re-read record
// merely extended, and re-applying the record could not bring it back.
void PfChart::takeBack(int32_t recordIndex) {
  size_t keep = points_.size();
  while (keep > 0 && points_[keep - 1].recordIndex >= recordIndex) --keep;
  if (keep == points_.size()) return;
  if (recordIndex == checkpoint_.record && keep == checkpoint_.points &&
      snapshots_.size() == points_.size() && checkpoint_.columns <= columns_.size()) {
    // The usual case: the newest record again. Its start was noted.
    points_.resize(keep);
    snapshots_.resize(keep);
    columns_.resize(checkpoint_.columns);
    if (!columns_.empty()) columns_.back() = checkpoint_.column;
    return;
  }
  // Any other record: build the chart again from the points before it
  // (rare: the intake always re-reads from its newest record).
  points_.resize(keep);
  rebuildFromPoints();
}

void PfChart::rebuildFromPoints() {
  std::vector<PricePoint> kept;
  kept.swap(points_);
  columns_.clear();
  snapshots_.clear();
  checkpoint_ = Checkpoint{};
  textsStored_ = true;  // the kept points' texts are in the arena already
  applyBatch(kept);
  textsStored_ = false;
}

ColumnPoint PfChart::pointAt(int32_t from, int32_t at) const {
  const auto count = static_cast<int64_t>(points_.size());
  if (from < 0 || from >= count || at < 0 || at >= count) return ColumnPoint{};
  const PricePoint& source = points_[static_cast<size_t>(from)];
  const PricePoint& seen = points_[static_cast<size_t>(at)];
  ColumnPoint point(source);
  point.index = seen.index;
  point.recordIndex = seen.recordIndex;
  return point;
}

PfColumn PfChart::unpack(const PackedColumn& packed) const {
  PfColumn column;
  column.number = packed.number;
  column.boxes = BoxRun(packed.letter, packed.boxCount);
  if (packed.percent >= 0 && packed.percent < static_cast<int32_t>(percentTexts_.size()))
    column.percentText = percentTexts_[static_cast<size_t>(packed.percent)];
  column.startPoint = pointAt(packed.startFrom, packed.startAt);
  column.endPoint = pointAt(packed.endAt, packed.endAt);
  column.direction = packed.direction;
  column.extremePrice = packed.extremePrice;
  column.reversalPrice = packed.reversalPrice;
  column.boxSize = packed.boxSize;
  column.basePrice = packed.basePrice;
  column.endBoxPrice = packed.endBoxPrice;
  column.lastPoint = pointAt(packed.lastAt, packed.lastAt);
  return column;
}

PfColumn ColumnList::operator[](size_t at) const { return chart_->unpack((*list_)[at]); }

PackedColumn PfChart::newColumn(const PackedColumn& from, int32_t at, int32_t newDirection) const {
  const double f = boxFraction;
  const double R = static_cast<double>(reversal);
  const double p = points_[static_cast<size_t>(at)].price;
  PackedColumn column;
  column.number = from.number + 1;
  column.percent = percent_;
  column.boxSize = from.extremePrice * f;
  column.basePrice = from.extremePrice;
  column.startFrom = from.endAt;
  column.startAt = at;
  column.endAt = at;
  column.direction = static_cast<int8_t>(newDirection);
  column.extremePrice = p;
  column.lastAt = at;
  if (newDirection < 0) {
    const int32_t n = truncatedCount((from.extremePrice - p) / column.boxSize);
    column.setBoxes(n, 'O');
    column.reversalPrice = (p * f) * R + p;
    column.endBoxPrice = column.basePrice - n * column.boxSize;
  } else {
    const int32_t n = truncatedCount((p - from.extremePrice) / column.boxSize);
    column.setBoxes(n, 'X');
    column.reversalPrice = p - (p * f) * R;
    column.endBoxPrice = column.basePrice + n * column.boxSize;
  }
  return column;
}

void PfChart::addPoint(const PricePoint& pricePoint) {
  points_.push_back(pricePoint);
  PricePoint& stored = points_.back();
  // The chart keeps its own copy of each text, once per run of equal texts
  // (the points of one record, or a record read again).
  if (textsStored_) {
    lastText_ = stored.text;
  } else {
    if (stored.text != lastText_) lastText_ = texts_.store(stored.text);
    stored.text = lastText_;
  }
  applyPoint(static_cast<int32_t>(points_.size() - 1));
}

void PfChart::updatePercent() {
  if (percentFraction_ == boxFraction && percentDigits_ == digits) return;
  const std::string text = fixedText(boxFraction * 100, digits);
  percent_ = -1;
  for (size_t i = 0; i < percentTexts_.size(); ++i)
    if (percentTexts_[i] == text) percent_ = static_cast<int32_t>(i);
  if (percent_ < 0) {
    percentTexts_.push_back(texts_.store(text));
    percent_ = static_cast<int32_t>(percentTexts_.size() - 1);
  }
  percentFraction_ = boxFraction;
  percentDigits_ = digits;
}

void PfChart::applyPoint(int32_t at) {
  const double f = boxFraction;
  const double R = static_cast<double>(reversal);
  const double p = points_[static_cast<size_t>(at)].price;
  updatePercent();

  // The first point (or the first after a rebuild) opens the undecided column.
  if (columns_.empty()) {
    PackedColumn first;
    first.number = -1;
    first.percent = percent_;
    first.startFrom = first.startAt = first.endAt = first.lastAt = at;
    first.direction = 0;
    first.extremePrice = p;
    first.reversalPrice = 0;
    first.boxSize = p * f;
    first.basePrice = p;
    first.endBoxPrice = p;
    columns_.push_back(first);
    snapshots_.push_back(first);
    return;
  }

  PackedColumn column = columns_.back();
  column.lastAt = at;
  if (column.direction == 0) {
    if (p > column.extremePrice + R * column.boxSize) {
      const int32_t n = truncatedCount((p - column.basePrice) / column.boxSize);
      column.setBoxes(n, 'X');
      column.endAt = at;
      column.direction = 1;
      column.extremePrice = p;
      column.reversalPrice = p - (p * f) * R;
      column.endBoxPrice = column.basePrice + n * column.boxSize;
      columns_.back() = column;
      snapshots_.push_back(column);
      return;
    }
    if (column.extremePrice - R * column.boxSize > p) {
      const int32_t n = truncatedCount((column.basePrice - p) / column.boxSize);
      column.setBoxes(n, 'O');
      column.endAt = at;
      column.direction = -1;
      column.extremePrice = p;
      column.reversalPrice = (p * f) * R + p;
      column.endBoxPrice = column.basePrice - n * column.boxSize;
      columns_.back() = column;
      snapshots_.push_back(column);
      return;
    }
  } else if (column.direction == 1) {
    // The first test that applies is the only one: with positive prices no
    // second test could apply anyway, and with zero or negative prices a
    // new extreme would otherwise reverse at once and leave two snapshots.
    if (p > column.extremePrice) {
      const int32_t n = truncatedCount((p - column.basePrice) / column.boxSize);
      column.setBoxes(n, 'X');
      column.endAt = at;
      column.extremePrice = p;
      column.reversalPrice = p - (p * f) * R;
      column.endBoxPrice = column.basePrice + n * column.boxSize;
      columns_.back() = column;
      snapshots_.push_back(column);
      return;
    }
    if (column.reversalPrice >= p) {
      columns_.push_back(newColumn(column, at, -1));
      snapshots_.push_back(column);
      return;
    }
  } else {
    if (column.extremePrice > p) {
      const int32_t n = truncatedCount((column.basePrice - p) / column.boxSize);
      column.setBoxes(n, 'O');
      column.endAt = at;
      column.extremePrice = p;
      column.reversalPrice = (p * f) * R + p;
      column.endBoxPrice = column.basePrice - n * column.boxSize;
      columns_.back() = column;
      snapshots_.push_back(column);
      return;
    }
    if (p >= column.reversalPrice) {
      columns_.push_back(newColumn(column, at, 1));
      snapshots_.push_back(column);
      return;
    }
  }

  // No change: the snapshot still records this point.
  column.endAt = at;
  snapshots_.push_back(column);
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
  return k < 0 ? PfColumn{} : unpack(snapshots_[static_cast<size_t>(k)]);
}

}  // namespace tavelund
