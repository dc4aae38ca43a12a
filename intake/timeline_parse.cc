// Reading one timeline line. The accepted language is exactly that of the
// date pattern
//   ([0-9]+)/([0-9]+)/([0-9 :]+) ([0-9]+):([0-9]+):([0-9]+)\.([0-9]+)
// matched against the whole first field, with the date numbers read as
// std::stoi reads them and the prices as std::stof reads them; a line that
// would make either throw is not a price line, and neither is one whose
// minute text is longer than any producer writes (kLongestMinuteText). Matching by hand instead of
// with a regex engine makes a full 128 MiB batch take a fraction of a second.
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "intake/minute_text.h"
#include "intake/tick_intake.h"

namespace tavelund {
namespace {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// std::stoi on a text of digits, blanks and colons: leading blanks skipped,
// then at least one digit; the rest is ignored. No sign can occur here.
bool readInt(std::string_view text, int32_t& value) {
  size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  if (at == text.size() || !isDigit(text[at])) return false;
  long long number = 0;
  for (; at < text.size() && isDigit(text[at]); ++at) {
    number = number * 10 + (text[at] - '0');
    if (number > INT_MAX) return false;
  }
  value = static_cast<int32_t>(number);
  return true;
}

// std::stof, then widened: strtof's language (leading white space, sign,
// decimal or hex digits, exponent, inf, nan; the rest ignored); no number,
// or a result out of float range (strtof's ERANGE, underflow included), is
// not a price.
bool readPriceSlow(std::string_view text, double& value) {
  const std::string copy(text);  // strtof needs the terminating zero
  char* end = nullptr;
  const int savedErrno = errno;
  errno = 0;
  const float number = std::strtof(copy.c_str(), &end);
  const bool outOfRange = errno == ERANGE;
  errno = savedErrno;
  if (end == copy.c_str() || outOfRange) return false;
  value = static_cast<double>(number);
  return true;
}

// Exact powers of ten as floats (10^10 is the last one a float holds exactly).
constexpr float kFloatTens[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

bool readPrice(std::string_view text, double& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  // The link writes "-ddd.ddddd". With at most 24 significant bits and ten
  // decimals both the digits and the power of ten are exact floats, and one
  // float division rounds the quotient exactly as strtof rounds the text.
  {
    const char* at = begin;
    const bool negative = at < end && *at == '-';
    if (negative) ++at;
    const char* whole = at;
    uint64_t mantissa = 0;  // may wrap for long texts, which are not simple
    while (at < end && isDigit(*at)) mantissa = mantissa * 10 + static_cast<uint64_t>(*at++ - '0');
    const ptrdiff_t wholeDigits = at - whole;
    ptrdiff_t fractionDigits = 0;
    if (at < end && *at == '.') {
      const char* fraction = ++at;
      while (at < end && isDigit(*at))
        mantissa = mantissa * 10 + static_cast<uint64_t>(*at++ - '0');
      fractionDigits = at - fraction;
    }
    const bool simple = wholeDigits > 0 && at == end && wholeDigits + fractionDigits <= 19;
    int decimals = simple ? static_cast<int>(fractionDigits) : 0;
    if (simple) {
      constexpr uint64_t kExactLimit = uint64_t{1} << 24;
      if (mantissa > kExactLimit || decimals > 10) {
        // Trailing zeros of the decimals change nothing but may spoil the limits.
        while (decimals > 0 && mantissa % 10 == 0) mantissa /= 10, --decimals;
      }
      if (mantissa <= kExactLimit && decimals <= 10) {
        const float number = static_cast<float>(mantissa) / kFloatTens[decimals];
        value = static_cast<double>(negative ? -number : number);
        return true;
      }
    }
  }
  // Other plain decimals of at most 30 characters can neither overflow nor
  // underflow a float, and from_chars rounds them exactly as strtof does.
  if (text.size() > 0 && text.size() <= 30) {
    const char* at = begin + (*begin == '-' ? 1 : 0);
    if (at < end && isDigit(*at)) {
      float number = 0;
      auto [stop, error] = std::from_chars(begin, end, number, std::chars_format::fixed);
      if (error == std::errc() && stop == end) {
        value = static_cast<double>(number);
        return true;
      }
    }
  }
  return readPriceSlow(text, value);
}

// Finds the next "," from `from`, or the end. Fields are a few characters
// long, shorter than it takes a library search to pay off.
inline size_t nextComma(std::string_view line, size_t from) {
  size_t at = from;
  while (at < line.size() && line[at] != ',') ++at;
  return at < line.size() ? at : line.size();
}

// A run of at least one digit ending at `end` (exclusive): its start, or npos.
inline size_t digitsBefore(std::string_view text, size_t end) {
  size_t at = end;
  while (at > 0 && isDigit(text[at - 1])) --at;
  return at == end ? std::string_view::npos : at;
}

}  // namespace

bool parseTimelineLine(std::string_view line, TimelineLine& record) {
  // Fields: the date, then four prices; further fields are ignored.
  const size_t dateEnd = nextComma(line, 0);
  if (dateEnd == line.size()) return false;  // one field only
  const std::string_view date = line.substr(0, dateEnd);

  // Group 1 and 2: digits, each ending at a "/".
  size_t at = 0;
  while (at < date.size() && isDigit(date[at])) ++at;
  if (at == 0 || at == date.size() || date[at] != '/') return false;
  const std::string_view yearText = date.substr(0, at);
  const size_t monthBegin = ++at;
  while (at < date.size() && isDigit(date[at])) ++at;
  if (at == monthBegin || at == date.size() || date[at] != '/') return false;
  const std::string_view monthText = date.substr(monthBegin, at - monthBegin);
  const size_t restBegin = at + 1;

  // The rest is "G3 H:M:S.F": it ends in "." and digits, and everything
  // before that point is blanks, colons and digits. The greedy group 3 takes
  // all but the last " H:M:S", which is therefore read from the right.
  const size_t fractionBegin = digitsBefore(date, date.size());
  if (fractionBegin == std::string_view::npos || fractionBegin == 0 ||
      date[fractionBegin - 1] != '.')
    return false;
  const size_t pointAt = fractionBegin - 1;
  if (pointAt < restBegin) return false;
  const size_t secondBegin = digitsBefore(date, pointAt);
  if (secondBegin == std::string_view::npos || secondBegin <= restBegin ||
      date[secondBegin - 1] != ':')
    return false;
  const size_t minuteEnd = secondBegin - 1;
  const size_t minuteBegin = digitsBefore(date, minuteEnd);
  if (minuteBegin == std::string_view::npos || minuteBegin <= restBegin ||
      date[minuteBegin - 1] != ':')
    return false;
  const size_t hourEnd = minuteBegin - 1;
  const size_t hourBegin = digitsBefore(date, hourEnd);
  if (hourBegin == std::string_view::npos || hourBegin <= restBegin || date[hourBegin - 1] != ' ')
    return false;
  const size_t dayEnd = hourBegin - 1;
  if (dayEnd <= restBegin) return false;  // group 3 needs one character
  // The minute text is the date up to the minute's end; no producer writes
  // a longer one than kLongestMinuteText. Checked before group 3 is, so a
  // day of a million blanks costs no more than a short one.
  if (minuteEnd > kLongestMinuteText) return false;
  // From the day's end on, the text is digits and separators by now; group
  // 3 itself is blanks, colons and digits.
  for (size_t i = restBegin; i < dayEnd; ++i) {
    const char c = date[i];
    if (!isDigit(c) && c != ' ' && c != ':') return false;
  }
  const std::string_view dayText = date.substr(restBegin, dayEnd - restBegin);
  const std::string_view hourText = date.substr(hourBegin, hourEnd - hourBegin);
  const std::string_view minuteText = date.substr(minuteBegin, minuteEnd - minuteBegin);

  if (!readInt(yearText, record.year) || !readInt(monthText, record.month) ||
      !readInt(dayText, record.day) || !readInt(hourText, record.hour) ||
      !readInt(minuteText, record.minute))
    return false;

  // Prices: fields 1 to 4, each present.
  double* prices[4] = {&record.open, &record.high, &record.low, &record.close};
  size_t fieldBegin = dateEnd + 1;
  for (int i = 0; i < 4; ++i) {
    if (fieldBegin > line.size()) return false;  // fewer than five fields
    const size_t fieldEnd = nextComma(line, fieldBegin);
    if (!readPrice(line.substr(fieldBegin, fieldEnd - fieldBegin), *prices[i])) return false;
    // Zero, negative, infinite or NaN prices would make boxes of no size or
    // of every size: such a line is no price line.
    if (!(*prices[i] > 0) || !std::isfinite(*prices[i])) return false;
    fieldBegin = fieldEnd + 1;
  }

  record.minuteKey =
      ((((static_cast<int64_t>(record.year) * 100 + record.month) * 100 + record.day) * 100 +
        record.hour) *
           100 +
       record.minute);
  // "year/month/day hour:minute" is the date field up to the minute's end,
  // each group's text unchanged.
  record.minuteText = date.substr(0, minuteEnd);
  return true;
}

}  // namespace tavelund
