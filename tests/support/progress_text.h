#pragma once
// Test support: the milliseconds shown by a wait's progress texts, each
// "<head><milliseconds> milSecond" and overwritten by the next.
#include <string>
#include <string_view>
#include <vector>

namespace tavelund::testing {

// The value of each progress text in `text`, in the order shown.
inline std::vector<long long> progressValues(std::string_view text, std::string_view head) {
  std::vector<long long> values;
  for (size_t at = text.find(head); at != std::string_view::npos; at = text.find(head, at + 1)) {
    const size_t number = at + head.size();
    const size_t tail = text.find(" milSecond", number);
    if (tail == std::string_view::npos) break;
    values.push_back(std::stoll(std::string(text.substr(number, tail - number))));
  }
  return values;
}

}  // namespace tavelund::testing
