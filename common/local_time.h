#pragma once
// The local wall-clock time, and the texts the system makes of it.
#include <string>

namespace tavelund {

struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Read from the platform clock (GetLocalTime on Windows).
LocalTime readLocalTime();

// YYYY/MM/DD hh:mm:ss.mmm, each field zero-padded to at least 4, 2, 2, 2,
// 2, 2, 3 digits; the timeline lines start with the same text.
void appendDateTimeText(std::string& out, const LocalTime& time);
std::string localTimeText(const LocalTime& time);
std::string localTimeText();

// YYYYMMDDhhmmss, as used in saved file names.
std::string compactTimeStamp(const LocalTime& time);

}  // namespace tavelund
