#pragma once
// Splitting a text at every occurrence of a delimiter text; the text after
// the last delimiter is a piece too, so "a\nb\n" gives "a", "b", "".
#include <string>
#include <string_view>
#include <vector>

namespace tavelund {

std::vector<std::string_view> splitViews(std::string_view text, std::string_view delimiter);
std::vector<std::string> splitText(std::string_view text, std::string_view delimiter);

}  // namespace tavelund
