#pragma once
// A stand-in for the part of the MQL5 terminal that TickwellPublisher.mq5
// uses, so the same source builds as C++ and runs against the real link
// library without a trading terminal. Each function behaves as the
// terminal documents it for the cases the program meets; the chart, the
// permissions and the clock of new bars are set by the test through
// mql5standin::.
//
// Deliberate differences: strings are narrow bytes (the terminal's are
// UTF-16, which StringToCharArray turns into the ANSI code page), and an
// array index out of range ends the process with the terminal's message
// instead of stopping only the program.
#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

using uchar = unsigned char;
using uint = unsigned int;
using datetime = long long;  // seconds since 1970-01-01, the bar's own clock
using string = std::string;

enum ENUM_TIMEFRAMES : int {
  PERIOD_CURRENT = 0,
  PERIOD_M1 = 1,
  PERIOD_M5 = 5,
  PERIOD_M15 = 15,
  PERIOD_M30 = 30,
  PERIOD_H1 = 16385,
  PERIOD_H4 = 16388,
  PERIOD_D1 = 16408,
  PERIOD_W1 = 32769,
  PERIOD_MN1 = 49153,
};

enum ENUM_MQL_INFO_INTEGER { MQL_DLLS_ALLOWED = 5 };

constexpr int INIT_SUCCEEDED = 0;
constexpr int INIT_FAILED = 1;
constexpr int INIT_PARAMETERS_INCORRECT = 2;

constexpr int REASON_REMOVE = 1;
constexpr int REASON_CHARTCHANGE = 3;
constexpr int REASON_INITFAILED = 8;

constexpr int WHOLE_ARRAY = -1;
constexpr uint CP_ACP = 0;

constexpr int ERR_INVALID_PARAMETER = 4003;
constexpr int ERR_HISTORY_NOT_FOUND = 4401;

struct MqlRates {
  datetime time = 0;
  double open = 0;
  double high = 0;
  double low = 0;
  double close = 0;
  long long tick_volume = 0;
  int spread = 0;
  long long real_volume = 0;
};

struct MqlDateTime {
  int year = 0;
  int mon = 0;
  int day = 0;
  int hour = 0;
  int min = 0;
  int sec = 0;
  int day_of_week = 0;  // 0 Sunday
  int day_of_year = 0;  // 0 for January 1st
};

namespace mql5standin {
[[noreturn]] void fatal(const std::string& what);
}

// A dynamic array of the terminal: indexes are checked.
template <typename T>
class MqlArray {
 public:
  T& operator[](int index) {
    check(index);
    return items_[static_cast<std::size_t>(index)];
  }
  const T& operator[](int index) const {
    check(index);
    return items_[static_cast<std::size_t>(index)];
  }
  int size() const { return static_cast<int>(items_.size()); }
  void resize(int count) { items_.resize(static_cast<std::size_t>(count < 0 ? 0 : count)); }
  const T* data() const { return items_.data(); }

 private:
  void check(int index) const {
    if (index < 0 || index >= size()) mql5standin::fatal("array out of range");
  }
  std::vector<T> items_;
};

template <typename T>
int ArraySize(const MqlArray<T>& array) {
  return array.size();
}

string Symbol();
ENUM_TIMEFRAMES Period();
int MQLInfoInteger(ENUM_MQL_INFO_INTEGER property);

// Copies `text` and, when `count` is WHOLE_ARRAY, its terminating zero from
// `start` on, growing the array as needed; returns the elements copied.
int StringToCharArray(const string& text, MqlArray<uchar>& array, int start = 0,
                      int count = WHOLE_ARRAY, uint codepage = CP_ACP);
// The `count` bars before `start` (0 is the forming bar), oldest first;
// -1 with ERR_HISTORY_NOT_FOUND when there are none.
int CopyRates(const string& symbol, ENUM_TIMEFRAMES timeframe, int start, int count,
              MqlArray<MqlRates>& rates);
bool TimeToStruct(datetime time, MqlDateTime& parts);
string TimeToString(datetime time);  // "yyyy.mm.dd hh:mi"
string IntegerToString(long long value);

bool EventSetMillisecondTimer(int milliseconds);
void EventKillTimer();

int GetLastError();
void ResetLastError();

double MathAbs(double value);
double MathMax(double a, double b);

namespace mql5standin {
void appendPrinted(std::ostringstream& line, const std::string& value);
void appendPrinted(std::ostringstream& line, const char* value);
void appendPrinted(std::ostringstream& line, bool value);
void appendPrinted(std::ostringstream& line, double value);
void appendPrinted(std::ostringstream& line, long long value);
inline void appendPrinted(std::ostringstream& line, int value) {
  appendPrinted(line, static_cast<long long>(value));
}
void writeExpertsLog(const std::string& line);
}  // namespace mql5standin

// One line of the Experts log: the arguments' texts without separators.
template <typename... Args>
void Print(const Args&... args) {
  std::ostringstream line;
  (mql5standin::appendPrinted(line, args), ...);
  mql5standin::writeExpertsLog(line.str());
}

// What the test controls and observes.
namespace mql5standin {

struct Chart {
  string symbol = "EURUSD";
  ENUM_TIMEFRAMES period = PERIOD_D1;
  std::vector<MqlRates> bars;  // oldest first
  std::size_t opened = 0;      // bars open so far; the last of them is forming
};

// A fresh terminal: this chart, DLL imports allowed, no timer, empty logs.
void reset(Chart chart);
const Chart& chart();
// The next bar of the chart opens and becomes the forming one; false when
// every bar is open.
bool openNextBar();
void allowDllImports(bool allowed);

// 0 while no timer runs.
int timerMilliseconds();

// Experts log lines, oldest first; also written to standard output when
// echoing is on.
const std::vector<std::string>& expertsLog();
void echoExpertsLog(bool on);

// The exports of tickwell.dll the program called, in order, while recording
// is on (setsendcheckMT5 with its value, "setsendcheckMT5(1)").
void recordImports(bool on);
const std::vector<std::string>& importCalls();
void noteImport(std::string call);

datetime toDatetime(int year, int month, int day, int hour, int minute, int second);

}  // namespace mql5standin
