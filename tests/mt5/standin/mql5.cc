#include "tests/mt5/standin/mql5.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iomanip>

namespace mql5standin {
namespace {

struct Terminal {
  Chart chart;
  bool dllImports = true;
  int timerMs = 0;
  int lastError = 0;
  std::vector<std::string> log;
  bool echo = false;
  bool recording = false;
  std::vector<std::string> imports;
};

Terminal& terminal() {
  static Terminal instance;
  return instance;
}

// Days since 1970-01-01 of a civil date and back (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (month <= 2));
}

long long floorDiv(long long a, long long b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

void fatal(const std::string& what) {
  std::fprintf(stderr, "critical error: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

void appendPrinted(std::ostringstream& line, const std::string& value) { line << value; }
void appendPrinted(std::ostringstream& line, const char* value) { line << value; }
void appendPrinted(std::ostringstream& line, bool value) { line << (value ? "true" : "false"); }
void appendPrinted(std::ostringstream& line, double value) {
  line << std::setprecision(16) << value;
}
void appendPrinted(std::ostringstream& line, long long value) { line << value; }

void writeExpertsLog(const std::string& line) {
  Terminal& t = terminal();
  t.log.push_back(line);
  if (t.echo) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
  }
}

void reset(Chart chart) {
  Terminal& t = terminal();
  const bool echo = t.echo;
  t = Terminal{};
  t.chart = std::move(chart);
  if (t.chart.opened > t.chart.bars.size()) t.chart.opened = t.chart.bars.size();
  t.echo = echo;
}

const Chart& chart() { return terminal().chart; }

bool openNextBar() {
  Chart& c = terminal().chart;
  if (c.opened >= c.bars.size()) return false;
  ++c.opened;
  return true;
}

void allowDllImports(bool allowed) { terminal().dllImports = allowed; }
int timerMilliseconds() { return terminal().timerMs; }
const std::vector<std::string>& expertsLog() { return terminal().log; }
void echoExpertsLog(bool on) { terminal().echo = on; }
void recordImports(bool on) { terminal().recording = on; }
const std::vector<std::string>& importCalls() { return terminal().imports; }

void noteImport(std::string call) {
  Terminal& t = terminal();
  if (t.recording) t.imports.push_back(std::move(call));
}

datetime toDatetime(int year, int month, int day, int hour, int minute, int second) {
  return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
         hour * 3600LL + minute * 60LL + second;
}

}  // namespace mql5standin

using mql5standin::terminal;

string Symbol() { return terminal().chart.symbol; }
ENUM_TIMEFRAMES Period() { return terminal().chart.period; }

int MQLInfoInteger(ENUM_MQL_INFO_INTEGER property) {
  return property == MQL_DLLS_ALLOWED && terminal().dllImports ? 1 : 0;
}

int StringToCharArray(const string& text, MqlArray<uchar>& array, int start, int count,
                      uint /*codepage: the stand-in's text is already narrow*/) {
  if (start < 0) return 0;
  const int whole = static_cast<int>(text.size()) + 1;  // with the terminating zero
  const int copied = count < 0 ? whole : (count < whole ? count : whole);
  if (array.size() < start + copied) array.resize(start + copied);
  for (int i = 0; i < copied; ++i) {
    array[start + i] = i < static_cast<int>(text.size()) ? static_cast<uchar>(text[i]) : 0;
  }
  return copied;
}

int CopyRates(const string& symbol, ENUM_TIMEFRAMES timeframe, int start, int count,
              MqlArray<MqlRates>& rates) {
  const mql5standin::Chart& chart = terminal().chart;
  if (start < 0 || count <= 0) {
    terminal().lastError = ERR_INVALID_PARAMETER;
    return -1;
  }
  const bool ours =
      symbol == chart.symbol && (timeframe == chart.period || timeframe == PERIOD_CURRENT);
  const long long available = static_cast<long long>(chart.opened) - start;
  if (!ours || available <= 0) {
    terminal().lastError = ERR_HISTORY_NOT_FOUND;
    return -1;
  }
  const int copied = static_cast<int>(available < count ? available : count);
  const std::size_t first = static_cast<std::size_t>(available - copied);
  rates.resize(copied);
  for (int i = 0; i < copied; ++i) rates[i] = chart.bars[first + static_cast<std::size_t>(i)];
  return copied;
}

bool TimeToStruct(datetime time, MqlDateTime& parts) {
  const long long days = mql5standin::floorDiv(time, 86400);
  const long long seconds = time - days * 86400;
  mql5standin::civilFromDays(days, parts.year, parts.mon, parts.day);
  parts.hour = static_cast<int>(seconds / 3600);
  parts.min = static_cast<int>(seconds / 60 % 60);
  parts.sec = static_cast<int>(seconds % 60);
  parts.day_of_week = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  parts.day_of_year = static_cast<int>(days - mql5standin::daysFromCivil(parts.year, 1, 1));
  return true;
}

string TimeToString(datetime time) {
  MqlDateTime parts;
  TimeToStruct(time, parts);
  char text[32];
  std::snprintf(text, sizeof text, "%04d.%02d.%02d %02d:%02d", parts.year, parts.mon, parts.day,
                parts.hour, parts.min);
  return text;
}

string IntegerToString(long long value) { return std::to_string(value); }

bool EventSetMillisecondTimer(int milliseconds) {
  if (milliseconds <= 0) {
    terminal().lastError = ERR_INVALID_PARAMETER;
    return false;
  }
  terminal().timerMs = milliseconds;
  return true;
}

void EventKillTimer() { terminal().timerMs = 0; }

int GetLastError() { return terminal().lastError; }
void ResetLastError() { terminal().lastError = 0; }

double MathAbs(double value) { return std::fabs(value); }
double MathMax(double a, double b) { return a > b ? a : b; }
