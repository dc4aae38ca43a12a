#pragma once
// One X or O column of the chart, and the points it refers to. PfColumn is
// the full value that drawing, the console and tests read; the chart keeps
// one snapshot per applied point, so it stores columns and snapshots in a
// few bytes each (see StoredColumn) and builds PfColumn values on demand.
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

// How the chart stores its columns and snapshots. A column keeps what is
// fixed at its creation and the position of its newest state; a state is
// what one point changed (the extreme and what follows from it); a snapshot
// is the position of the state it shows. The points are positions in the
// chart's point list (-1: none), the percent text a number.
struct ColumnState {
  double extremePrice = 0;
  double reversalPrice = 0;
  // The truncated box count as computed: below 1 draws no box, but the outer
  // box edge is still measured with it.
  int32_t boxCount = 0;
  int32_t endAt = -1;  // the point that set the extreme
};

// A column's start point is the previous column's end point seen from the
// point that reversed it: text, kind, minute key and price from
// `startFrom`, index and record index from `startAt`.
struct StoredColumn {
  double boxSize = 0;
  double basePrice = 0;
  int32_t startFrom = -1, startAt = -1;
  int32_t percent = -1;     // the chart's percent text number
  int32_t firstState = -1;  // its states are firstState..newestState
  int32_t newestState = -1;
  int32_t direction = 0;
};

// One per applied point: the state it shows and where its end point lies.
// The end point is the state's own, except after a point that changed
// nothing, whose snapshot ends at that point itself.
class Snapshot {
 public:
  Snapshot() = default;
  Snapshot(int32_t state, bool endsAtOwnPoint)
      : bits_(static_cast<uint32_t>(state) << 1 | (endsAtOwnPoint ? 1u : 0u)) {}
  int32_t state() const { return static_cast<int32_t>(bits_ >> 1); }
  bool endsAtOwnPoint() const { return (bits_ & 1u) != 0; }

 private:
  uint32_t bits_ = 0;
};

}  // namespace tavelund
