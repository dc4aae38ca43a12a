#pragma once
// One step of the price path that the chart applies, and the path itself:
// the run's points by position, as the chart reads them.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/text_arena.h"

namespace tavelund {

struct PricePoint {
  PricePoint() = default;
  PricePoint(int32_t index, std::string_view text, int64_t minuteKey, int32_t kind, double price,
             int32_t recordIndex)
      : text(text),
        minuteKey(minuteKey),
        price(price),
        index(index),
        kind(kind),
        recordIndex(recordIndex) {}

  // Minute text of the record it comes from; it refers to the storage of
  // the path the point was read from, and is valid as long as that is.
  std::string_view text;
  int64_t minuteKey = 0;
  double price = 0;
  int32_t index = -1;  // position in the run's cumulative point list
  int32_t kind = 0;    // 1 open, 2 high, 3 low, 4 close
  int32_t recordIndex = -1;
};

struct BarRange {
  double low = 0, high = 0;
};

// The points of a run by position. The intake makes them from its records
// without keeping a copy of each; a chart fed by hand keeps copies.
class PricePath {
 public:
  virtual size_t size() const = 0;
  virtual PricePoint at(size_t position) const = 0;
  // Only the price: what building columns reads of most points.
  virtual double priceAt(size_t position) const = 0;
  // The low and high of the bar the point comes from, for a chart built by
  // highs and lows; a path of bare prices has the price for both.
  virtual BarRange barRange(size_t position) const {
    const double price = priceAt(position);
    return BarRange{price, price};
  }

  bool empty() const { return size() == 0; }
  PricePoint operator[](size_t position) const { return at(position); }
  PricePoint back() const { return at(size() - 1); }

 protected:
  PricePath() = default;
  PricePath(const PricePath&) = default;
  PricePath& operator=(const PricePath&) = default;
  ~PricePath() = default;
};

// A stretch of a path: `count` points from `first`. Read by value, valid
// while the path is unchanged there.
class PointSpan {
 public:
  PointSpan() = default;
  PointSpan(const PricePath& path, size_t first, size_t count)
      : path_(&path), first_(first), count_(count) {}
  // From `first` to the path's end.
  static PointSpan tail(const PricePath& path, size_t first) {
    return PointSpan(path, first, first < path.size() ? path.size() - first : 0);
  }

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  PricePoint operator[](size_t i) const { return path_->at(first_ + i); }
  PricePoint front() const { return (*this)[0]; }
  PricePoint back() const { return (*this)[count_ - 1]; }
  const PricePath* path() const { return path_; }
  size_t first() const { return first_; }

 private:
  const PricePath* path_ = nullptr;
  size_t first_ = 0;
  size_t count_ = 0;
};

// A path of points kept as they were given, each with a copy of its text
// (once per run of equal texts, as the points of one record come).
class CopiedPoints final : public PricePath {
 public:
  CopiedPoints() = default;
  CopiedPoints(const CopiedPoints&) = delete;
  CopiedPoints& operator=(const CopiedPoints&) = delete;
  CopiedPoints(CopiedPoints&&) = default;
  CopiedPoints& operator=(CopiedPoints&&) = default;

  size_t size() const override { return points_.size(); }
  PricePoint at(size_t position) const override { return points_[position]; }
  double priceAt(size_t position) const override { return points_[position].price; }

  void reserve(size_t count) { points_.reserve(count); }
  void append(const PricePoint& point) {
    points_.push_back(point);
    if (point.text != lastText_) lastText_ = texts_.store(point.text);
    points_.back().text = lastText_;
  }
  // Keeps the first `count` points; their texts stay stored.
  void shrinkTo(size_t count) {
    if (count < points_.size()) points_.resize(count);
  }

 private:
  std::vector<PricePoint> points_;
  TextArena texts_;
  std::string_view lastText_;
};

}  // namespace tavelund
