#pragma once
// One X or O column of the chart, and the points it refers to. PfColumn is
// the full value that the drawing, the analysis and tests read; the chart
// keeps one snapshot per applied point, so it stores columns and snapshots
// in a few bytes each and builds PfColumn values on demand.
// Texts refer to storage that outlives the chart's points.
#include <cstdint>
#include <string>
#include <string_view>

#include "intake/price_point.h"

namespace tavelund {

struct ColumnPoint {
  std::string_view text;
  int32_t kind = 0;
  int64_t minuteKey = 0;
  double price = 0;
  int32_t index = -1;
  int32_t recordIndex = -1;

  ColumnPoint() = default;
  explicit ColumnPoint(const PricePoint& point)
      : text(point.text),
        kind(point.kind),
        minuteKey(point.minuteKey),
        price(point.price),
        index(point.index),
        recordIndex(point.recordIndex) {}

  PricePoint toPricePoint() const {
    return PricePoint{index, text, minuteKey, kind, price, recordIndex};
  }
};

// The boxes of a column: "X" repeated, "O" repeated, or nothing.
class BoxRun {
 public:
  BoxRun() = default;
  BoxRun(char letter, int32_t count)
      : letter_(count > 0 ? letter : '\0'), count_(count > 0 ? count : 0) {}

  // Appends n boxes of `letter`; nothing when n is 0 or less. A column's boxes
  // are always of one letter, so a different letter is a caller's fault and
  // replaces nothing: the run keeps its letter.
  void append(int32_t n, char letter) {
    if (n <= 0) return;
    if (count_ == 0) letter_ = letter;
    count_ += n;
  }
  void clear() { letter_ = '\0', count_ = 0; }
  int32_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  char letter() const { return letter_; }
  std::string text() const { return std::string(static_cast<size_t>(count_), letter_); }

  friend bool operator==(const BoxRun& a, const BoxRun& b) {
    return a.count_ == b.count_ && (a.count_ == 0 || a.letter_ == b.letter_);
  }
  friend bool operator==(const BoxRun& a, std::string_view text) {
    if (text.size() != static_cast<size_t>(a.count_)) return false;
    return text.find_first_not_of(a.letter_) == std::string_view::npos;
  }

 private:
  char letter_ = '\0';
  int32_t count_ = 0;
};

struct PfColumn {
  int32_t number = -1;
  BoxRun boxes;
  std::string_view percentText;
  double percent = 0;  // the number percentText shows
  ColumnPoint startPoint;
  ColumnPoint endPoint;
  int32_t direction = 0;  // 0 undecided, 1 rising (X), -1 falling (O)
  double extremePrice = 0;
  double reversalPrice = 0;
  double boxSize = 0;
  double basePrice = 0;
  double endBoxPrice = 0;
  // On a chart of one price grid: the levels of its first and its last box
  // (the grid's k of L(k)).
  int64_t startLevel = 0, endLevel = 0;
  ColumnPoint lastPoint;
};

}  // namespace tavelund
