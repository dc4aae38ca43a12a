#pragma once
// One price grid for a whole chart: the levels L(k), k a whole number, on
// which every column's boxes lie, and the level of a price each way.
//   percent P:   L(k) = (1 + P/100)^k, defined for prices above 0
//   fixed box:   L(k) = k * box
//   traditional: from 0 by 1/16 to 0.25, by 1/8 to 1, by 1/4 to 5, by 1/2 to
//                20, by 1 to 100, by 2 to 200, by 4 to 500, by 5 to 1,000, by
//                50 to 25,000, by 500 above (k counts levels from 0; below 0
//                the first step continues)
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/grid_scale.h"

namespace tavelund {

// A chart refuses a grid that needs more levels than this between its lowest
// and highest price: it could neither draw nor store them.
inline constexpr int64_t kMostGridLevels = 10'000'000;
// Level indices stay within ±kGridLevelLimit (whole numbers exact as a
// double, and far from overflow when a reversal is added); a price beyond is
// taken to the limit, as are prices outside a percent grid (at or below 0,
// NaN), which go to -kGridLevelLimit.
inline constexpr int64_t kGridLevelLimit = 1'000'000'000'000'000;
// A price this close to a level, relative to the price, is on it; but never
// closer than this part of a box, so that on a box below a millionth of the
// price (a grid of millions of levels from 0) the tolerance does not swallow
// whole boxes.
inline constexpr double kGridTolerance = 1e-9;
inline constexpr double kGridToleranceOfBox = 1e-3;

struct GridBar {
  double high = 0, low = 0, close = 0;
};

class PriceGrid {
 public:
  enum class Kind { percent, fixed, traditional };

  // 0 < percent <= 50; box above 0 and finite. Outside that the grid's
  // levels mean nothing (levelCount says so by being unbounded).
  static PriceGrid percent(double percent);
  static PriceGrid fixed(double box);
  static PriceGrid traditional();

  Kind kind() const { return kind_; }
  // The percent P or the box; 0 for the traditional table.
  double step() const { return step_; }

  double level(int64_t k) const;
  // The highest k with L(k) <= p and the lowest k with L(k) >= p, each with
  // the tolerance, so that for a price on a level up(p) == down(p). Fast:
  // no walk over levels (a log or a quotient, then a step's correction).
  int64_t up(double p) const;
  int64_t down(double p) const;

  // How many levels lie from down(low) to up(high), both included, counted
  // without visiting them (0 when low > high); kUnboundedLevels when a price
  // is outside the grid or not finite, when an index reaches the limit, or
  // when the grid's levels cannot be told apart. Compare with kMostGridLevels.
  static constexpr int64_t kUnboundedLevels = INT64_MAX;
  int64_t levelCount(double low, double high) const;

 private:
  PriceGrid(Kind kind, double step);

  Kind kind_;
  double step_;
  // How far from a level p may lie and still be on it.
  double tolerance(double p) const;
  // k where L(k) = x, as a real number.
  double continuousIndex(double x) const;
  // Whether `whole` (the floor of `index`) is surely the highest level below
  // x and the next one surely above it, without computing them.
  bool clearlyBetween(double index, double whole) const;

  double logStep_ = 0;         // log(1 + P/100) of a percent grid
  double boxFraction_ = 0;     // P/100 of a percent grid
  double fastMargin_ = 1e-12;  // see clearlyBetween
  bool usable_ = false;        // levels apart from each other
};

// The simple mean of the true range of the last `n` bars (fewer when there
// are fewer): max(high, previous close) - min(low, previous close), and
// high - low for the very first bar. 0 for no bars or n below 1.
double averageTrueRange(std::span<const GridBar> bars, int n);

// The grid of a scale; an ATR scale becomes the fixed box of the mean true
// range of `bars` (those the chart is first built from). Nothing, with a
// one-line reason, when that box is not above 0.
std::optional<PriceGrid> gridForScale(const GridScale& scale, std::span<const GridBar> bars,
                                      std::string& reason);

}  // namespace tavelund
