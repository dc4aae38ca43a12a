#pragma once
// A slow, literal reading of how a chart on one price grid builds its
// columns, to hold a fast construction against. It shares nothing with one:
// it asks the grid for up() and down() and follows the rules word by word.
//
//   p0 is the first bar's close. The first column is X when a later bar's
//   high (close) gives up >= up(p0) + 1, its boxes from up(p0) + 1 to that;
//   else O when its low (close) gives down <= down(p0) - 1, its boxes from
//   down(p0) - 1 down to that. With highs and lows the high is looked at
//   first.
//   An X column with top t: if up(high) > t it extends to up(high);
//   otherwise, if down(low) <= t - R, an O column starts with boxes from
//   t - 1 down to down(low).
//   An O column with bottom b: if down(low) < b it extends to down(low);
//   otherwise, if up(high) >= b + R, an X column starts with boxes from
//   b + 1 up to up(high).
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <vector>

#include "engine/price_grid.h"

namespace tavelund::grid_oracle {

// Closes: every price looked at is the bar's close. High/low: the bar's high
// is looked at for rises and its low for falls.
enum class Method { closes, highLow };

struct Column {
  char type = 'X';      // 'X' or 'O'
  int64_t top = 0;      // level index of the highest box
  int64_t bottom = 0;   // level index of the lowest box
  size_t startBar = 0;  // the bar that started the column
  size_t lastBar = 0;   // the bar that last changed it
  friend bool operator==(const Column&, const Column&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Column& c) {
    return out << c.type << " " << c.bottom << ".." << c.top << " bars " << c.startBar << ".."
               << c.lastBar;
  }
};

// The decided columns, oldest first.
inline std::vector<Column> columns(std::span<const GridBar> bars, const PriceGrid& grid,
                                   int reversal, Method method) {
  std::vector<Column> decided;
  if (bars.empty()) return decided;
  const auto highOf = [&](size_t i) {
    return method == Method::highLow ? bars[i].high : bars[i].close;
  };
  const auto lowOf = [&](size_t i) {
    return method == Method::highLow ? bars[i].low : bars[i].close;
  };
  const int64_t R = reversal;
  const double p0 = bars[0].close;

  size_t i = 1;
  // Start: the high first, then the low.
  while (i < bars.size() && decided.empty()) {
    const int64_t upHigh = grid.up(highOf(i));
    const int64_t downLow = grid.down(lowOf(i));
    if (upHigh >= grid.up(p0) + 1) {
      decided.push_back(Column{'X', upHigh, grid.up(p0) + 1, i, i});
    } else if (downLow <= grid.down(p0) - 1) {
      decided.push_back(Column{'O', grid.down(p0) - 1, downLow, i, i});
    }
    ++i;
  }
  // Every later bar extends the newest column, reverses it or does nothing.
  for (; i < bars.size(); ++i) {
    const int64_t upHigh = grid.up(highOf(i));
    const int64_t downLow = grid.down(lowOf(i));
    const Column current = decided.back();
    if (current.type == 'X') {
      const int64_t t = current.top;
      if (upHigh > t) {
        decided.back().top = upHigh;
        decided.back().lastBar = i;
      } else if (downLow <= t - R) {
        decided.push_back(Column{'O', t - 1, downLow, i, i});
      }
    } else {
      const int64_t b = current.bottom;
      if (downLow < b) {
        decided.back().bottom = downLow;
        decided.back().lastBar = i;
      } else if (upHigh >= b + R) {
        decided.push_back(Column{'X', upHigh, b + 1, i, i});
      }
    }
  }
  return decided;
}

}  // namespace tavelund::grid_oracle
