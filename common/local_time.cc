#include "common/local_time.h"

#include "common/number_text.h"

namespace tavelund {

std::string localTimeText(const LocalTime& t) {
  std::string text;
  text.reserve(24);
  text += zeroPadded(t.year, 4);
  text += '/';
  text += zeroPadded(t.month, 2);
  text += '/';
  text += zeroPadded(t.day, 2);
  text += ' ';
  text += zeroPadded(t.hour, 2);
  text += ':';
  text += zeroPadded(t.minute, 2);
  text += ':';
  text += zeroPadded(t.second, 2);
  text += '.';
  text += zeroPadded(t.millisecond, 3);
  return text;
}

std::string localTimeText() { return localTimeText(readLocalTime()); }

std::string compactTimeStamp(const LocalTime& t) {
  return zeroPadded(t.year, 4) + zeroPadded(t.month, 2) + zeroPadded(t.day, 2) +
         zeroPadded(t.hour, 2) + zeroPadded(t.minute, 2) + zeroPadded(t.second, 2);
}

}  // namespace tavelund
