#include "tools/time_frames.h"

#include <charconv>
#include <cstdio>

#include "common/time_span_label.h"

namespace tavelund::feed {
namespace {

constexpr int kCodes[] = {0,     1,     2,     3,     4,     5,     6,     10,    12,    15,   30,
                          16385, 16386, 16387, 16388, 16390, 16392, 16396, 16408, 32769, 49153};

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

std::span<const int> labelledTimeFrames() { return kCodes; }

std::optional<int> parseTimeFrame(std::string_view text) {
  for (const int code : kCodes) {
    if (sameLetters(text, timeSpanLabel(code))) return code;
  }
  int code = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
  return code;
}

std::string timeFrameTable() {
  constexpr std::size_t kCount = std::size(kCodes);
  constexpr std::size_t kRows = (kCount + 1) / 2;
  std::string table = "  code   label     code   label\n";
  for (std::size_t row = 0; row < kRows; ++row) {
    char line[64];
    const int left = kCodes[row];
    int length = std::snprintf(line, sizeof line, "  %-6d %-8s", left, timeSpanLabel(left).c_str());
    if (row + kRows < kCount) {
      const int right = kCodes[row + kRows];
      std::snprintf(line + length, sizeof line - static_cast<std::size_t>(length), "  %-6d %s",
                    right, timeSpanLabel(right).c_str());
    } else {
      while (length > 0 && line[length - 1] == ' ') line[--length] = 0;
    }
    table += line;
    table += '\n';
  }
  return table;
}

}  // namespace tavelund::feed
