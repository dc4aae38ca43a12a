#pragma once
// Small price paths on one grid, worked by hand, with the columns they must
// give: one set for the literal reading of the rules and for the chart.
// Levels are written as indices k of L(k) (see engine/price_grid.h).
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/grid_scale.h"
#include "engine/price_grid.h"
#include "tests/support/grid_oracle.h"

namespace tavelund::testing_util {

struct GridPath {
  std::string_view name;
  std::string_view scale;  // as given to -g
  int reversal;
  grid_oracle::Method method;
  std::vector<GridBar> bars;
  std::vector<grid_oracle::Column> expected;
};

// Bars of the closes method: only the close is looked at.
inline std::vector<GridBar> closeBars(std::initializer_list<double> closes) {
  std::vector<GridBar> bars;
  for (const double close : closes) bars.push_back(GridBar{close, close, close});
  return bars;
}

inline const std::vector<GridPath>& gridPaths() {
  using grid_oracle::Method;
  static const std::vector<GridPath> paths{
      {"fixed box: levels hit exactly, reversals by exactly R, a fall of R - 1 boxes does not",
       "1",
       3,
       Method::closes,
       closeBars({10, 11, 12, 10.5, 9, 13, 8}),
       {{'X', 12, 11, 1, 2}, {'O', 11, 9, 4, 4}, {'X', 13, 10, 5, 5}, {'O', 12, 8, 6, 6}}},
      {"pips, R = 1, first column down after half a box",
       "0.0010",
       1,
       Method::closes,
       closeBars({1.1000, 1.0995, 1.0990, 1.0980, 1.0990, 1.0985, 1.1000}),
       {{'O', 1099, 1098, 2, 3}, {'X', 1100, 1099, 4, 6}}},
      {"percent: on a level, just below one, a reversal by exactly R",
       "1%",
       3,
       Method::closes,
       closeBars({1.0, 1.01, 1.0303, 1.030301, 1.0, 0.9999, 1.02, 1.04}),
       {{'X', 3, 1, 1, 3}, {'O', 2, 0, 4, 4}, {'X', 3, 1, 7, 7}}},
      {"traditional: a reversal across the step change at 5",
       "trad",
       3,
       Method::closes,
       closeBars({5.0, 5.4, 5.5, 6.2, 4.9, 4.75, 4.6, 4.5}),
       {{'X', 28, 27, 2, 3}, {'O', 27, 24, 5, 7}}},
      {"ATR box (2 over the last 3 bars), R = 2",
       "atr3",
       2,
       Method::closes,
       {{10, 10, 10}, {12, 10, 12}, {12, 10, 10}, {10, 8, 8}},
       {{'X', 6, 6, 1, 1}, {'O', 5, 4, 3, 3}}},
      {"high/low: the high is looked at first, at the start and in every column",
       "1",
       3,
       Method::highLow,
       {{10.6, 9.8, 10.2},
        {11.0, 9.0, 9.5},
        {11.5, 8.0, 8.2},
        {12.0, 7.2, 7.5},
        {12.5, 6.9, 7.0},
        {12.0, 6.0, 6.5}},
       {{'X', 11, 11, 1, 1}, {'O', 10, 8, 2, 2}, {'X', 12, 9, 3, 3}, {'O', 11, 6, 4, 5}}},
      {"high/low: first column down, reversal up by exactly R on the high",
       "1",
       3,
       Method::highLow,
       {{10.5, 9.5, 10}, {10.9, 8.6, 9}, {10.0, 7.0, 7.5}, {10.0, 7.5, 9.8}},
       {{'O', 9, 7, 1, 2}, {'X', 10, 8, 3, 3}}},
      {"high/low percent: just off a level, on one within the tolerance",
       "1%",
       3,
       Method::highLow,
       {{1.004, 0.996, 1.0},
        {1.009, 0.9901, 0.995},
        {1.0099, 0.990099009901, 0.992},
        {1.0, 0.97, 0.975},
        {0.9999, 0.9705, 0.99},
        {1.0000000001, 0.98, 0.99}},
       {{'O', -1, -3, 2, 3}, {'X', 0, -2, 5, 5}}},
  };
  return paths;
}

// The grid a path is drawn on (an ATR box from the path's own bars).
inline PriceGrid gridOfPath(const GridPath& path) {
  std::string reason;
  const std::optional<GridScale> scale = parseGridScale(path.scale, reason);
  return *gridForScale(*scale, path.bars, reason);
}

}  // namespace tavelund::testing_util
