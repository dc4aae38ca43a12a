#pragma once
// The chart options that the viewer and the chart printer share: each
// number's range and the default that a value outside it is taken as.
#include <cstdint>

namespace tavelund {

struct OptionRange {
  char letter;
  int32_t low, high, fallback;
  constexpr int32_t within(int32_t value) const {
    return value >= low && value <= high ? value : fallback;
  }
};

inline constexpr OptionRange kReversalOption{'b', 3, 5, 3};
// Under -g the reversal of a textbook chart: one to nine boxes.
inline constexpr OptionRange kGridReversalOption{'b', 1, 9, 3};
inline constexpr OptionRange kShowColumnsOption{'s', 1, 300, 30};
inline constexpr OptionRange kDigitsOption{'f', 0, 10, 5};

// -p: the box in percent of the original construction, above 0 and at most
// 50; any other value that reads as a number is taken as 1.
inline constexpr double kDefaultBoxPercent = 1.0;
inline constexpr double kMostBoxPercent = 50.0;
constexpr double boxFractionOf(double percent) {
  return (percent > 0 && percent <= kMostBoxPercent ? percent : kDefaultBoxPercent) / 100;
}

}  // namespace tavelund
