#pragma once
// Price paths made column by column on the levels of the 1 % log grid: each
// column is given by its box count in levels (positive for X, negative for
// O), by the rule of a grid chart: an X column starts one level above the
// low of the O column before it and an O column one level below the high
// of the X before it. Every level after the reversal's first ones gets a
// point of its own, half a level beyond the level's price (inside its box
// either way), so the point at which a column reached a given count is
// known and a 3-level move always reverses the original construction too. The same path makes both kinds of chart:
// the original construction (1 % boxes of each column's own) and one 1 %
// grid, whose levels the analysis reads the same.
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/grid_scale.h"
#include "engine/pf_chart.h"
#include "engine/price_grid.h"
#include "tests/engine/chart_test_util.h"

namespace tavelund::testing_util {

enum class Construction { original, grid };

inline std::string constructionName(Construction construction) {
  return construction == Construction::grid ? "Grid" : "Original";
}

// A chart of `points` (digits 2): boxes of 1 % of each column's own, or one
// 1 % grid.
inline PfChart chartOf(const std::vector<PricePoint>& points, Construction construction,
                       int32_t reversal = 3) {
  PfChart built;
  ChartSettings settings;
  settings.reversal = reversal;
  if (construction == Construction::grid) {
    std::string reason;
    settings.grid = parseGridScale("1%", reason);
  }
  built.applySettings(settings, 2);
  built.update(points, settings);
  return built;
}

class PathBuilder {
 public:
  // Rows are levels counted from kBaseLevel, the level nearest 100.
  static constexpr int64_t kBaseLevel = 463;

  explicit PathBuilder(int32_t reversal = 3) : reversal_(reversal) { add(kBaseLevel - 1); }

  // Columns of the given box counts, in order (each at least `reversal`).
  PathBuilder& columns(const std::vector<int>& counts) {
    for (int count : counts) column(count);
    return *this;
  }

  PathBuilder& column(int count) {
    const int direction = count > 0 ? 1 : -1;
    const int boxes = count * direction;
    // The first box lies one level beyond the extreme before (the first
    // column's one beyond the first price).
    const int64_t first = extreme_ + direction;
    ++column_;
    for (int n = reversal_; n <= boxes; ++n) {
      extreme_ = first + direction * (n - 1);
      reached_[{column_, n}] = add(extreme_, direction);
    }
    return *this;
  }

  // A point that changes nothing (the newest extreme again). The original
  // construction shows a reversal's new column only from the point after it.
  PathBuilder& settle() {
    points_.push_back(point(static_cast<int32_t>(points_.size()), points_.back().price));
    return *this;
  }

  // A point at `row` (a level counted from kBaseLevel), beside the columns.
  PathBuilder& at(int64_t row) {
    add(kBaseLevel + row);
    return *this;
  }

  // The position of the point at which `column` first held `boxes` boxes.
  int32_t pointOf(int column, int boxes) const {
    const auto found = reached_.find({column, boxes});
    return found == reached_.end() ? -1 : found->second;
  }
  double priceOf(int column, int boxes) const { return points_[pointOf(column, boxes)].price; }
  // The price of a row.
  static double rowPrice(int64_t row) { return grid().level(kBaseLevel + row); }
  // The view offset at which `point` is the newest point shown.
  int32_t offsetOf(int32_t point) const { return static_cast<int32_t>(points_.size()) - 1 - point; }

  const std::vector<PricePoint>& points() const { return points_; }

  PfChart chart(Construction construction = Construction::original) const {
    return chartOf(points_, construction, reversal_);
  }

  static const PriceGrid& grid() {
    static const PriceGrid onePercent = PriceGrid::percent(1);
    return onePercent;
  }

 private:
  int32_t add(int64_t level, int direction = 0) {
    const auto at = static_cast<int32_t>(points_.size());
    points_.push_back(point(at, grid().level(level) * std::pow(1.01, 0.5 * direction)));
    return at;
  }

  int32_t reversal_;
  int64_t extreme_ = kBaseLevel - 1;
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
