#include "intake/time_order.h"

#include "common/printable.h"

namespace tavelund {
namespace {

// A minute text from the link, short and with nothing a terminal would act
// on. Parsed minute texts are digits, blanks, '/' and ':' only; their
// digit runs are unbounded.
std::string minuteExcerpt(std::string_view text) {
  constexpr std::size_t kLongest = 24;
  return printable(text.substr(0, kLongest)) + (text.size() > kLongest ? "..." : "");
}

}  // namespace

std::optional<std::size_t> firstRecordBackInTime(std::span<const PriceRecord> records) {
  for (std::size_t i = 1; i < records.size(); ++i) {
    if (records[i].minuteKey < records[i - 1].minuteKey) return i;
  }
  return std::nullopt;
}

std::optional<std::string> batchTimeOrderEntry(const TickIntake& intake) {
  if (intake.batchPointList.empty()) return std::nullopt;
  const auto first = static_cast<std::size_t>(intake.batchPointList.front().recordIndex);
  if (first >= intake.recordList.size()) return std::nullopt;
  const auto batch = std::span<const PriceRecord>(intake.recordList).subspan(first);
  const auto back = firstRecordBackInTime(batch);
  if (!back) return std::nullopt;
  return "TIME ORDER  : the batch is not oldest first: " + minuteExcerpt(batch[*back].minuteText) +
         " follows " + minuteExcerpt(batch[*back - 1].minuteText);
}

std::optional<LineBackInTime> firstLineBackInTime(std::string_view timelineText) {
  std::optional<int64_t> before;
  TimelineLine record;
  std::size_t number = 0;
  std::size_t start = 0;
  while (start < timelineText.size()) {
    std::size_t end = timelineText.find('\n', start);
    if (end == std::string_view::npos) end = timelineText.size();
    const std::string_view line = timelineText.substr(start, end - start);
    ++number;
    if (parseTimelineLine(line, record)) {
      if (before && record.minuteKey < *before) return LineBackInTime{number, line};
      before = record.minuteKey;
    }
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace tavelund
