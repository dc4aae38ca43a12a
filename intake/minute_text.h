#pragma once
// The longest minute text ("year/month/day hour:minute", as the line holds
// it) that a timeline line can carry.
//
// The producer writes year, month, day, hour and minute as decimal 32-bit
// integers, padded with '0' to at least 4 (the year) or 2 characters. The
// reading takes a number up to 2,147,483,647, which has 10 digits, and no
// sign; so each of the five numbers is at most 10 characters, and with the
// four separators ("/", "/", " ", ":") the minute text is at most
// 5 * 10 + 4 = 54 bytes. Only a line that no producer writes is longer:
// blanks or colons in the day, zeros far beyond the padding. Such a line is
// unreadable like any other that breaks the form, so that the chart, its
// last line and the analysis never carry a text of any length from the
// link.
#include <cstddef>

namespace tavelund {

inline constexpr size_t kLongestMinuteText = 54;

}  // namespace tavelund
