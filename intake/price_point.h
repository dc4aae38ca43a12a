#pragma once
// One step of the price path that the chart applies.
#include <cstdint>
#include <string_view>
#include <vector>

#include "intake/fill_later.h"

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

  // Minute text of the record it comes from; it refers to storage that
  // outlives the point (the intake's or the chart's text arena).
  std::string_view text;
  int64_t minuteKey = 0;
  double price = 0;
  int32_t index = -1;  // position in the run's cumulative point list
  int32_t kind = 0;    // 1 open, 2 high, 3 low, 4 close
  int32_t recordIndex = -1;
  // Millions of points are kept per run: no padding between the fields.
};

// The run's points; the conversion's threads fill their parts of it at once.
using PointList = std::vector<PricePoint, FillLater<PricePoint>>;

}  // namespace tavelund
