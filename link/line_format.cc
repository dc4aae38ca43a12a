#include "link/line_format.h"

#include "common/local_time.h"
#include "common/number_text.h"

namespace tavelund {

void appendTimelineLine(std::string& out, const TimelineBar& bar) {
  appendDateTimeText(out, LocalTime{bar.year, bar.month, bar.day, bar.hour, bar.minute, bar.second,
                                    bar.millisecond});
  out += ',';
  appendFixed(out, bar.open, 5);
  out += ',';
  appendFixed(out, bar.high, 5);
  out += ',';
  appendFixed(out, bar.low, 5);
  out += ',';
  appendFixed(out, bar.close, 5);
  out += '\n';
}

std::string timelineLine(const TimelineBar& bar) {
  std::string line;
  appendTimelineLine(line, bar);
  return line;
}

void storeBigEndian(unsigned char* bytes, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  bytes[0] = static_cast<unsigned char>((v >> 24) & 0xFF);
  bytes[1] = static_cast<unsigned char>((v >> 16) & 0xFF);
  bytes[2] = static_cast<unsigned char>((v >> 8) & 0xFF);
  bytes[3] = static_cast<unsigned char>(v & 0xFF);
}

std::int32_t loadBigEndian(const unsigned char* bytes) {
  const std::uint32_t v = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                          (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
  return static_cast<std::int32_t>(v);
}

std::string_view newestWholeLines(std::string_view batch, std::size_t limit) {
  if (batch.size() <= limit) return batch;
  std::size_t start = batch.size() - limit;
  // Unless the cut falls right behind a line feed, skip the partial line.
  if (batch[start - 1] != '\n') {
    const std::size_t feed = batch.find('\n', start);
    if (feed == std::string_view::npos) return {};
    start = feed + 1;
  }
  return batch.substr(start);
}

}  // namespace tavelund
