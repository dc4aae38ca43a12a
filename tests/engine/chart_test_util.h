#pragma once
#include <set>
#include <string>
#include <vector>

#include "engine/pf_chart.h"

namespace tavelund::testing_util {

// A point of its own record unless a record is given.
inline PricePoint point(int32_t index, double price, int32_t record = -1) {
  if (record < 0) record = index;
  // Points refer to their text; keep each text for the whole test program.
  static std::set<std::string> texts;
  const std::string& text = *texts.insert("2024/03/05 09:" + std::to_string(record)).first;
  return PricePoint{index, text, 202403050900 + record, 4, price, record};
}

// One point per price, each its own record, numbered from `first`.
inline std::vector<PricePoint> path(std::initializer_list<double> prices, int32_t first = 0) {
  std::vector<PricePoint> points;
  for (double price : prices) {
    points.push_back(point(first, price));
    ++first;
  }
  return points;
}

}  // namespace tavelund::testing_util
