#include "common/local_time.h"

#include "common/number_text.h"

namespace tavelund {

void appendDateTimeText(std::string& out, const LocalTime& t) {
  appendZeroPadded(out, t.year, 4);
  out += '/';
  appendZeroPadded(out, t.month, 2);
  out += '/';
  appendZeroPadded(out, t.day, 2);
  out += ' ';
  appendZeroPadded(out, t.hour, 2);
  out += ':';
  appendZeroPadded(out, t.minute, 2);
  out += ':';
  appendZeroPadded(out, t.second, 2);
  out += '.';
  appendZeroPadded(out, t.millisecond, 3);
}

std::string localTimeText(const LocalTime& t) {
  std::string text;
  text.reserve(24);
  appendDateTimeText(text, t);
  return text;
}

std::string localTimeText() { return localTimeText(readLocalTime()); }

std::string compactTimeStamp(const LocalTime& t) {
  return zeroPadded(t.year, 4) + zeroPadded(t.month, 2) + zeroPadded(t.day, 2) +
         zeroPadded(t.hour, 2) + zeroPadded(t.minute, 2) + zeroPadded(t.second, 2);
}

}  // namespace tavelund
