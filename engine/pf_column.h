#pragma once
// One X or O column of the chart, and the points it refers to. Both are plain
// values; one full copy of the current column is kept per applied point, so
// they are laid out to stay small: texts are shared, and a column's boxes
// (all one letter) are held as that letter and a count.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/shared_text.h"
#include "intake/price_point.h"

namespace tavelund {

struct ColumnPoint {
  SharedText text;
  int32_t kind = 0;
  int64_t minuteKey = 0;
  double price = 0;
  int32_t index = -1;
  int32_t recordIndex = -1;

  ColumnPoint() = default;
  // A point of the price path; `sharedText` may carry the same text already
  // shared by an earlier point, so that points of one record share it.
  ColumnPoint(const PricePoint& point, SharedText sharedText)
      : text(std::move(sharedText)),
        kind(point.kind),
        minuteKey(point.minuteKey),
        price(point.price),
        index(point.index),
        recordIndex(point.recordIndex) {}
  explicit ColumnPoint(const PricePoint& point) : ColumnPoint(point, SharedText(point.text)) {}

  PricePoint toPricePoint() const {
    return PricePoint{index, text.str(), minuteKey, kind, price, recordIndex};
  }
};

// The boxes of a column: "X" repeated, "O" repeated, or nothing.
class BoxRun {
 public:
  BoxRun() = default;
  BoxRun(char letter, int32_t count) : letter_(count > 0 ? letter : '\0'), count_(count > 0 ? count : 0) {}

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
  SharedText percentText;
  ColumnPoint startPoint;
  ColumnPoint endPoint;
  int32_t direction = 0;  // 0 undecided, 1 rising (X), -1 falling (O)
  double extremePrice = 0;
  double reversalPrice = 0;
  double boxSize = 0;
  double basePrice = 0;
  double endBoxPrice = 0;
  int32_t startRow = 0, endRow = 0, viewIndex = 0;  // written by the drawing
  ColumnPoint lastPoint;
};

}  // namespace tavelund
