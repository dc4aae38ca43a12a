#pragma once
// Test support: daily bars on two waves (28-day months from 2001/01/01),
// each bar 1 % either side of its middle: columns enough for signals of
// both sides and a few trend lines.
#include <cmath>
#include <vector>

#include "link/line_format.h"

namespace tavelund::testing {

inline std::vector<TimelineBar> waveBars(int count = 400) {
  std::vector<TimelineBar> bars;
  for (int i = 0; i < count; ++i) {
    TimelineBar bar;
    bar.year = 2001 + i / 336;
    bar.month = 1 + (i / 28) % 12;
    bar.day = 1 + i % 28;
    const double mid = 1000 * (1 + 0.08 * std::sin(i / 9.0) + 0.03 * std::sin(i / 2.7));
    bar.open = mid;
    bar.high = mid * 1.01;
    bar.low = mid * 0.99;
    bar.close = mid * 1.002;
    bars.push_back(bar);
  }
  return bars;
}

}  // namespace tavelund::testing
