#pragma once
// The intake's price records, one per bar, and the points they make. A run
// holds millions of records, so a record keeps only what the chart needs
// of its bar — the minute (key and text) and the four prices — in 40 bytes,
// and the points are read from the records instead of being kept.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/fill_later.h"
#include "intake/price_point.h"
#include "common/text_arena.h"

namespace tavelund {

// A record's minute text. Every text of up to 16 bytes (the link's
// "yyyy/mm/dd hh:mm" among them) stands in the record itself, a shorter one
// followed by zero bytes, which no line holds; a longer one is stored in the
// intake's text arena, and the record holds a zero byte, its length and its
// address.
class MinuteText {
 public:
  static constexpr size_t kInPlace = 16;

  MinuteText() = default;
  // `store` keeps a longer text lastingly: TextArena::store, or a stand-in.
  template <typename Store>
  MinuteText(std::string_view text, Store&& store) {
    if (!text.empty() && text.size() <= kInPlace && text.front() != '\0') {
      std::memcpy(bytes_, text.data(), text.size());
      return;
    }
    const std::string_view kept = store(text);
    const auto length = static_cast<uint32_t>(kept.size());
    const char* at = kept.data();
    std::memcpy(bytes_ + 4, &length, sizeof length);
    std::memcpy(bytes_ + 8, &at, sizeof at);
  }

  std::string_view view() const {
    if (bytes_[0] != '\0') return {bytes_, strnlen(bytes_, kInPlace)};
    uint32_t length;
    const char* at;
    std::memcpy(&length, bytes_ + 4, sizeof length);
    std::memcpy(&at, bytes_ + 8, sizeof at);
    return {at, length};
  }
  operator std::string_view() const { return view(); }
  friend bool operator==(const MinuteText& a, const MinuteText& b) { return a.view() == b.view(); }
  friend bool operator==(const MinuteText& a, std::string_view b) { return a.view() == b; }

 private:
  char bytes_[kInPlace] = {};
};

// One price bar, made from one timeline line. Its position in the record
// list is its index. The prices are the line's texts read as floats, which
// is all the precision the link carries.
struct PriceRecord {
  MinuteText minuteText;  // year/month/day hour:minute as the line wrote them
  int64_t minuteKey = 0;  // ((((year*100+month)*100+day)*100+hour)*100+minute
  float open = 0, high = 0, low = 0, close = 0;
};
static_assert(sizeof(PriceRecord) == 40);

using RecordList = std::vector<PriceRecord, FillLater<PriceRecord>>;

// The points of a record list: with data expansion three per record (its
// open, the extreme farther from the open — the low on a tie — and its
// close), else one (its close). Position p belongs to record p / count.
class RecordPoints final : public PricePath {
 public:
  explicit RecordPoints(const RecordList& records) : records_(&records) {}
  RecordPoints(const RecordPoints&) = delete;
  RecordPoints& operator=(const RecordPoints&) = delete;

  void setExpansion(bool expand) { perRecord_ = expand ? 3 : 1; }
  bool expansion() const { return perRecord_ == 3; }
  size_t perRecord() const { return perRecord_; }

  size_t size() const override { return records_->size() * perRecord_; }
  PricePoint at(size_t position) const override {
    const size_t r = position / perRecord_;
    const PriceRecord& record = (*records_)[r];
    double price;
    const int32_t kind = kindOf(record, position - r * perRecord_, price);
    return PricePoint(static_cast<int32_t>(position), record.minuteText.view(), record.minuteKey,
                      kind, price, static_cast<int32_t>(r));
  }
  BarRange barRange(size_t position) const override {
    const PriceRecord& record = (*records_)[position / perRecord_];
    return BarRange{record.low, record.high};
  }
  double priceAt(size_t position) const override {
    const size_t r = position / perRecord_;
    double price;
    kindOf((*records_)[r], position - r * perRecord_, price);
    return price;
  }

 private:
  // The kind of the record's point `slot` (0-based), and its price.
  int32_t kindOf(const PriceRecord& record, size_t slot, double& price) const {
    if (perRecord_ == 1 || slot == 2) {
      price = record.close;
      return 4;
    }
    const double open = record.open;
    if (slot == 0) {
      price = open;
      return 1;
    }
    const double high = record.high, low = record.low;
    if (std::fabs(open - high) > std::fabs(open - low)) {
      price = high;
      return 2;
    }
    price = low;
    return 3;
  }

  const RecordList* records_;
  size_t perRecord_ = 1;
};

}  // namespace tavelund
