#include "common/split.h"

namespace tavelund {

std::vector<std::string_view> splitViews(std::string_view text, std::string_view delimiter) {
  std::vector<std::string_view> pieces;
  if (delimiter.empty()) {
    pieces.push_back(text);
    return pieces;
  }
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(delimiter, start);
    if (at == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, at - start));
    start = at + delimiter.size();
  }
}

std::vector<std::string> splitText(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> pieces;
  for (std::string_view piece : splitViews(text, delimiter)) pieces.emplace_back(piece);
  return pieces;
}

}  // namespace tavelund
