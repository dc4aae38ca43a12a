#pragma once
// Price paths made column by column: each column is given by its box count
// (positive for X, negative for O), and every box after the reversal's
// first ones gets a point of its own, so the point at which a column
// reached a given count is known.
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "tests/engine/chart_test_util.h"
#include "engine/pf_chart.h"

namespace tavelund::testing_util {

class PathBuilder {
 public:
  explicit PathBuilder(int32_t reversal = 3, double start = 100.0)
      : reversal_(reversal), base_(start), boxSize_(start * 0.01) {
    add(start);
  }

  // Columns of the given box counts, in order (each at least `reversal`).
  PathBuilder& columns(const std::vector<int>& counts) {
    for (int count : counts) column(count);
    return *this;
  }

  PathBuilder& column(int count) {
    const int direction = count > 0 ? 1 : -1;
    const int boxes = count * direction;
    if (column_ >= 0) {
      base_ = extreme_;
      boxSize_ = extreme_ * 0.01;
    }
    ++column_;
    for (int n = reversal_; n <= boxes; ++n) {
      // Half a box into box n + 1: the chart truncates to n.
      extreme_ = base_ + direction * (n + 0.5) * boxSize_;
      reached_[{column_, n}] = add(extreme_);
    }
    return *this;
  }

  // A point that changes nothing (the newest extreme again). The chart
  // shows a reversal's new column only from the point after the reversal.
  PathBuilder& settle() {
    add(column_ >= 0 ? extreme_ : points_.front().price);
    return *this;
  }

  // The position of the point at which `column` first held `boxes` boxes.
  int32_t pointOf(int column, int boxes) const {
    const auto found = reached_.find({column, boxes});
    return found == reached_.end() ? -1 : found->second;
  }
  double priceOf(int column, int boxes) const { return points_[pointOf(column, boxes)].price; }
  // The view offset at which `point` is the newest point shown.
  int32_t offsetOf(int32_t point) const { return static_cast<int32_t>(points_.size()) - 1 - point; }

  const std::vector<PricePoint>& points() const { return points_; }

  // A chart of the path (digits 2).
  PfChart chart() const {
    PfChart built;
    ChartSettings settings;
    settings.reversal = reversal_;
    built.applySettings(settings, 2);
    built.update(points_, settings);
    return built;
  }

 private:
  int32_t add(double price) {
    const auto at = static_cast<int32_t>(points_.size());
    points_.push_back(point(at, price));
    return at;
  }

  int32_t reversal_;
  double base_;
  double boxSize_;
  double extreme_ = 0;
  int column_ = -1;
  std::map<std::pair<int, int>, int32_t> reached_;
  std::vector<PricePoint> points_;
};

// The columns of the given box counts, then a point that settles the last.
inline PathBuilder settledPath(const std::vector<int>& counts) {
  PathBuilder path;
  path.columns(counts).settle();
  return path;
}

}  // namespace tavelund::testing_util
