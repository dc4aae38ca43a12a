#pragma once
// Timeline text as the MT5 side publishes it, for the viewer's tests with a
// fake MT5 side: one bar a day in 28-day months from 2000/01/01, the four
// prices of a bar all the same.
#include <cstdio>
#include <functional>
#include <string>

namespace tavelund::testing {

inline std::string dailyTimeline(int count, const std::function<double(int)>& priceOf) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    const double price = priceOf(i);
    char line[96];
    std::snprintf(line, sizeof line, "%04d/%02d/%02d 00:00:00.000,%.5f,%.5f,%.5f,%.5f\n",
                  2000 + i / 336, 1 + (i / 28) % 12, 1 + i % 28, price, price, price, price);
    text += line;
  }
  return text;
}

}  // namespace tavelund::testing
