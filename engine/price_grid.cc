#include "engine/price_grid.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tavelund {
namespace {

// One run of the traditional table: from `price` on by `step`, starting at
// level `first`.
struct Segment {
  double price;
  double step;
  int64_t first;
};

constexpr std::array<Segment, 10> traditionalTable() {
  // Where each run starts and its step; every price and step is exact in
  // binary, so every level of the table is exact.
  constexpr std::array<std::array<double, 2>, 10> runs{{{0, 1.0 / 16},
                                                        {0.25, 1.0 / 8},
                                                        {1, 1.0 / 4},
                                                        {5, 1.0 / 2},
                                                        {20, 1},
                                                        {100, 2},
                                                        {200, 4},
                                                        {500, 5},
                                                        {1000, 50},
                                                        {25000, 500}}};
  std::array<Segment, 10> table{};
  int64_t first = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (i > 0) first += static_cast<int64_t>((runs[i][0] - runs[i - 1][0]) / runs[i - 1][1]);
    table[i] = Segment{runs[i][0], runs[i][1], first};
  }
  return table;
}

constexpr std::array<Segment, 10> kTraditional = traditionalTable();
static_assert(kTraditional[9].first == 841);

// The run holding a price (below 0, the first run continues).
const Segment& segmentOfPrice(double price) {
  const auto after = std::upper_bound(kTraditional.begin(), kTraditional.end(), price,
                                      [](double p, const Segment& s) { return p < s.price; });
  return after == kTraditional.begin() ? kTraditional.front() : *(after - 1);
}

const Segment& segmentOfLevel(int64_t k) {
  const auto after = std::upper_bound(kTraditional.begin(), kTraditional.end(), k,
                                      [](int64_t at, const Segment& s) { return at < s.first; });
  return after == kTraditional.begin() ? kTraditional.front() : *(after - 1);
}

// A whole-numbered estimate of an index, kept within the limits (NaN low).
int64_t clampedIndex(double estimate) {
  if (!(estimate > -static_cast<double>(kGridLevelLimit))) return -kGridLevelLimit;
  if (estimate >= static_cast<double>(kGridLevelLimit)) return kGridLevelLimit;
  return static_cast<int64_t>(estimate);
}

// The estimates from a logarithm or a quotient are off by a step at most
// (more only on grids too fine to use, which levelCount refuses).
constexpr int kMostCorrections = 4;

}  // namespace

PriceGrid::PriceGrid(Kind kind, double step) : kind_(kind), step_(step) {}

PriceGrid PriceGrid::percent(double percent) {
  PriceGrid grid(Kind::percent, percent);
  grid.logStep_ = std::log1p(percent / 100);
  grid.boxFraction_ = percent / 100;
  // exp and log round to within about 1e-13 of the log of a price (up to
  // the largest doubles); a gap of 1e-12 in log units is beyond that.
  grid.fastMargin_ = 1e-12 / grid.logStep_;
  grid.usable_ = std::isfinite(percent) && 1 + percent / 100 > 1 && percent <= kMostGridPercent;
  return grid;
}

PriceGrid PriceGrid::fixed(double box) {
  PriceGrid grid(Kind::fixed, box);
  grid.usable_ = std::isfinite(box) && box > 0;
  return grid;
}

PriceGrid PriceGrid::traditional() {
  PriceGrid grid(Kind::traditional, 0);
  grid.usable_ = true;
  return grid;
}

double PriceGrid::level(int64_t k) const {
  switch (kind_) {
    case Kind::percent:
      return std::exp(static_cast<double>(k) * logStep_);
    case Kind::fixed:
      return static_cast<double>(k) * step_;
    case Kind::traditional:
      break;
  }
  const Segment& segment = segmentOfLevel(k);
  return segment.price + static_cast<double>(k - segment.first) * segment.step;
}

double PriceGrid::tolerance(double p) const {
  const double relative = kGridTolerance * std::fabs(p);
  switch (kind_) {
    case Kind::percent:
      return std::min(relative, kGridToleranceOfBox * boxFraction_ * p);
    case Kind::fixed:
      return std::min(relative, kGridToleranceOfBox * step_);
    case Kind::traditional:
      break;
  }
  // Below a box of the table only where the box is the last run's (500): a
  // price above 5e11.
  return std::min(relative, kGridToleranceOfBox * kTraditional.back().step);
}

double PriceGrid::continuousIndex(double x) const {
  switch (kind_) {
    case Kind::percent:
      return std::log(x) / logStep_;
    case Kind::fixed:
      return x / step_;
    case Kind::traditional:
      break;
  }
  const Segment& segment = segmentOfPrice(x);
  return static_cast<double>(segment.first) + (x - segment.price) / segment.step;
}

bool PriceGrid::clearlyBetween(double index, double whole) const {
  // Farther from a whole number than the rounding of the index and of the
  // levels around it can reach, so that both levels compare as the index
  // says; on a percent grid that is a fixed distance in log units.
  const double margin = fastMargin_ + 1e-14 * std::fabs(index);
  return index - whole > margin && whole + 1 - index > margin &&
         std::fabs(whole) < static_cast<double>(kGridLevelLimit);
}

int64_t PriceGrid::up(double p) const {
  if (!std::isfinite(p)) return p > 0 ? kGridLevelLimit : -kGridLevelLimit;
  if (kind_ == Kind::percent && !(p > 0)) return -kGridLevelLimit;
  const double high = p + tolerance(p);
  const double index = continuousIndex(high);
  const double whole = std::floor(index);
  if (clearlyBetween(index, whole)) return static_cast<int64_t>(whole);
  // Near a level (or far out): settle it against the levels themselves.
  int64_t k = clampedIndex(whole);
  for (int i = 0; i < kMostCorrections && k < kGridLevelLimit && level(k + 1) <= high; ++i) ++k;
  for (int i = 0; i < kMostCorrections && k > -kGridLevelLimit && level(k) > high; ++i) --k;
  return k;
}

int64_t PriceGrid::down(double p) const {
  if (!std::isfinite(p)) return p > 0 ? kGridLevelLimit : -kGridLevelLimit;
  if (kind_ == Kind::percent && !(p > 0)) return -kGridLevelLimit;
  const double low = p - tolerance(p);
  const double index = continuousIndex(low);
  const double whole = std::floor(index);
  if (clearlyBetween(index, whole)) return static_cast<int64_t>(whole) + 1;
  int64_t k = clampedIndex(std::ceil(index));
  for (int i = 0; i < kMostCorrections && k > -kGridLevelLimit && level(k - 1) >= low; ++i) --k;
  for (int i = 0; i < kMostCorrections && k < kGridLevelLimit && level(k) < low; ++i) ++k;
  return k;
}

int64_t PriceGrid::levelCount(double low, double high) const {
  if (!usable_ || !std::isfinite(low) || !std::isfinite(high)) return kUnboundedLevels;
  if (low > high) return 0;
  // A first estimate keeps the indices away from their limits.
  double estimate = 0;
  if (kind_ == Kind::percent) {
    if (!(low > 0)) return kUnboundedLevels;
    estimate = (std::log(high) - std::log(low)) / logStep_;
  } else if (kind_ == Kind::fixed) {
    estimate = (high - low) / step_;
  }
  if (!(estimate < static_cast<double>(kGridLevelLimit))) return kUnboundedLevels;
  const int64_t lowest = down(low), highest = up(high);
  const auto atLimit = [](int64_t k) { return k <= -kGridLevelLimit || k >= kGridLevelLimit; };
  if (atLimit(lowest) || atLimit(highest)) return kUnboundedLevels;
  return std::max<int64_t>(0, highest - lowest + 1);
}

double averageTrueRange(std::span<const GridBar> bars, int n) {
  if (n < 1 || bars.empty()) return 0;
  const size_t count = std::min(bars.size(), static_cast<size_t>(n));
  double sum = 0;
  for (size_t i = bars.size() - count; i < bars.size(); ++i) {
    const GridBar& bar = bars[i];
    if (i == 0) {
      sum += bar.high - bar.low;
    } else {
      const double previousClose = bars[i - 1].close;
      sum += std::max(bar.high, previousClose) - std::min(bar.low, previousClose);
    }
  }
  return sum / static_cast<double>(count);
}

std::optional<PriceGrid> gridForScale(const GridScale& scale, std::span<const GridBar> bars,
                                      std::string& reason) {
  const std::string named = "\"" + gridScaleText(scale) + "\": ";
  switch (scale.kind) {
    case GridScale::Kind::percent:
      if (scale.value > 0 && scale.value <= kMostGridPercent)
        return PriceGrid::percent(scale.value);
      reason = named + "the percent must be above 0 and at most 50";
      return std::nullopt;
    case GridScale::Kind::fixed:
      if (scale.value > 0 && std::isfinite(scale.value)) return PriceGrid::fixed(scale.value);
      reason = named + "the box must be above 0";
      return std::nullopt;
    case GridScale::Kind::traditional:
      return PriceGrid::traditional();
    case GridScale::Kind::atr:
      break;
  }
  const double box = averageTrueRange(bars, scale.atrBars);
  if (box > 0 && std::isfinite(box)) return PriceGrid::fixed(box);
  reason = named + (bars.empty() ? "no bars to take the mean true range of"
                                 : "the mean true range of the last bars is not above 0");
  return std::nullopt;
}

}  // namespace tavelund
