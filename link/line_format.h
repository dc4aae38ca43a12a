#pragma once
// The timeline line: "YYYY/MM/DD hh:mm:ss.mmm,open,high,low,close\n", the
// fields zero-padded to at least 4, 2, 2, 2, 2, 2 and 3 digits, the prices in
// fixed notation with five decimals.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavelund {

struct TimelineBar {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  double open = 0;
  double high = 0;
  double low = 0;
  double close = 0;
};

void appendTimelineLine(std::string& out, const TimelineBar& bar);
std::string timelineLine(const TimelineBar& bar);

// Block integers are big-endian: byte 0 holds bits 31-24.
void storeBigEndian(unsigned char* bytes, std::int32_t value);
std::int32_t loadBigEndian(const unsigned char* bytes);

// The part of `batch` that fits a text block of `limit` bytes: all of it when
// it fits, otherwise the newest whole lines (the oldest are dropped; a
// partial line is never published).
std::string_view newestWholeLines(std::string_view batch, std::size_t limit);

}  // namespace tavelund
