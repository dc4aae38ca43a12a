#include "common/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tavelund {

void appendFixed(std::string& out, double value, int digits) {
  if (digits < 0) digits = 0;
  if (!std::isfinite(value)) {
    // to_chars and the stream agree on these spellings.
    out +=
        std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan") : (value < 0 ? "-inf" : "inf");
    return;
  }
  char buffer[400];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
  if (error == std::errc()) {
    out.append(buffer, end);
    return;
  }
  // Longer than the buffer (a huge value with many decimals): fall back.
  std::string big(static_cast<size_t>(std::snprintf(nullptr, 0, "%.*f", digits, value)) + 1, '\0');
  std::snprintf(big.data(), big.size(), "%.*f", digits, value);
  big.pop_back();
  out += big;
}

std::string fixedText(double value, int digits) {
  std::string text;
  appendFixed(text, value, digits);
  return text;
}

void appendZeroPadded(std::string& out, long long value, int width) {
  char buffer[24];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)error;
  const int length = static_cast<int>(end - buffer);
  if (length < width) out.append(static_cast<size_t>(width - length), '0');
  out.append(buffer, end);
}

std::string zeroPadded(long long value, int width) {
  std::string text;
  appendZeroPadded(text, value, width);
  return text;
}

}  // namespace tavelund
