#pragma once
// The label of an MT5 time-frame code ("M1", "H1", "D1", ...); every code
// without a label of its own gives "NODATA".
#include <span>
#include <string>
#include <string_view>

namespace tavelund {

struct TimeSpan {
  int code;
  std::string_view label;
};

std::string timeSpanLabel(int code);

// Every code with a label, in the terminal's order (minutes, hours, D1, W1,
// MN1).
std::span<const TimeSpan> labelledTimeSpans();

}  // namespace tavelund
