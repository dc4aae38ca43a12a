#pragma once
// The benchmarks' maximal batch: the 128 MiB timeline block full of
// 56-byte lines of a random walk, as the link library writes them.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <random>
#include <string>

namespace tavelund::bench {

inline constexpr size_t kBlockBytes = size_t{128} << 20;

inline const std::string& maximalBatch() {
  static const std::string text = [] {
    std::string out;
    out.reserve(kBlockBytes);
    std::mt19937 random(42);
    std::normal_distribution<double> step(0.0, 0.0004);
    double price = 1.08500;
    int day = 0, minute = 0;
    char line[128];
    for (;;) {
      const double open = price;
      double high = open, low = open;
      for (int i = 0; i < 4; ++i) {
        price += step(random);
        if (price < 0.5) price = 0.5;
        high = std::max(high, price);
        low = std::min(low, price);
      }
      const int length = std::snprintf(line, sizeof line,
                                       "%04d/%02d/%02d %02d:%02d:%02d.%03d,%.5f,%.5f,%.5f,%.5f\n",
                                       2000 + day / 336, 1 + day / 28 % 12, 1 + day % 28,
                                       minute / 60, minute % 60, 0, 0, open, high, low, price);
      if (out.size() + static_cast<size_t>(length) >= kBlockBytes) break;
      out.append(line, static_cast<size_t>(length));
      if (++minute == 24 * 60) minute = 0, ++day;
    }
    return out;
  }();
  return text;
}

inline size_t maximalBatchLines() {
  static const size_t count =
      static_cast<size_t>(std::count(maximalBatch().begin(), maximalBatch().end(), '\n'));
  return count;
}

}  // namespace tavelund::bench
