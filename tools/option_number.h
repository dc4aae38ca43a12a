#pragma once
// A number given on a tools' command line.
#include <string>
#include <string_view>

namespace tavelund {

// The whole of `text` as a decimal number from `low` to `high`, read as
// std::stoll reads it; false for anything else.
inline bool optionNumber(std::string_view text, long long low, long long high, long long& value) {
  try {
    std::size_t used = 0;
    value = std::stoll(std::string(text), &used);
    return used == text.size() && value >= low && value <= high;
  } catch (...) {
    return false;
  }
}

}  // namespace tavelund
