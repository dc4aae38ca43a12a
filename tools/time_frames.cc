#include "tools/time_frames.h"

#include <charconv>
#include <cstdio>

#include "common/time_span_label.h"

namespace tavelund::feed {
namespace {

bool sameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<int> parseTimeFrame(std::string_view text) {
  for (const TimeSpan& span : labelledTimeSpans()) {
    if (sameLetters(text, span.label)) return span.code;
  }
  int code = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
  return code;
}

std::string timeFrameTable() {
  const std::span<const TimeSpan> spans = labelledTimeSpans();
  const std::size_t count = spans.size();
  const std::size_t rows = (count + 1) / 2;
  std::string table = "  code   label     code   label\n";
  for (std::size_t row = 0; row < rows; ++row) {
    char line[64];
    const TimeSpan& left = spans[row];
    int length = std::snprintf(line, sizeof line, "  %-6d %-8.*s", left.code,
                               static_cast<int>(left.label.size()), left.label.data());
    if (row + rows < count) {
      const TimeSpan& right = spans[row + rows];
      std::snprintf(line + length, sizeof line - static_cast<std::size_t>(length), "  %-6d %.*s",
                    right.code, static_cast<int>(right.label.size()), right.label.data());
    } else {
      while (length > 0 && line[length - 1] == ' ') line[--length] = 0;
    }
    table += line;
    table += '\n';
  }
  return table;
}

}  // namespace tavelund::feed
