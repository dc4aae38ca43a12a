#pragma once
// A stand-in for the part of the MQL5 terminal that TickwellPublisher.mq5
// uses, so the same source builds as C++ and runs against the real link
// library without a trading terminal. Each function behaves as the
// terminal documents it for the cases the program meets; the chart, the
// permissions and the clock of new bars are set by the test through
// mql5standin::.
//
// Deliberate differences: strings are narrow bytes (the terminal's are
// UTF-16, which StringToCharArray and FILE_ANSI turn into the ANSI code
// page, so one character of the terminal may be several here), an array
// index out of range ends the process with the terminal's message instead
// of stopping only the program, and the share flags of FileOpen lock
// nothing.
#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

using uchar = unsigned char;
using ushort = unsigned short;
using uint = unsigned int;
using datetime = long long;  // seconds since 1970-01-01, the bar's own clock
using string = std::string;

enum ENUM_TIMEFRAMES : int {
  PERIOD_CURRENT = 0,
  PERIOD_M1 = 1,
  PERIOD_M2 = 2,
  PERIOD_M3 = 3,
  PERIOD_M4 = 4,
  PERIOD_M5 = 5,
  PERIOD_M6 = 6,
  PERIOD_M10 = 10,
  PERIOD_M12 = 12,
  PERIOD_M15 = 15,
  PERIOD_M20 = 20,
  PERIOD_M30 = 30,
  PERIOD_H1 = 16385,
  PERIOD_H2 = 16386,
  PERIOD_H3 = 16387,
  PERIOD_H4 = 16388,
  PERIOD_H6 = 16390,
  PERIOD_H8 = 16392,
  PERIOD_H12 = 16396,
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
constexpr int ERR_TOO_MANY_FILES = 5001;
constexpr int ERR_WRONG_FILENAME = 5002;
constexpr int ERR_CANNOT_OPEN_FILE = 5004;
constexpr int ERR_CANNOT_DELETE_FILE = 5006;
constexpr int ERR_INVALID_FILEHANDLE = 5007;
constexpr int ERR_FILE_NOTTOWRITE = 5009;
constexpr int ERR_FILE_IS_DIRECTORY = 5018;
constexpr int ERR_FILE_NOT_EXIST = 5019;
constexpr int ERR_FILE_CANNOT_REWRITE = 5020;
constexpr int ERR_FILE_WRITEERROR = 5026;

constexpr int INVALID_HANDLE = -1;
constexpr int FILE_READ = 1;
constexpr int FILE_WRITE = 2;
constexpr int FILE_BIN = 4;
constexpr int FILE_CSV = 8;
constexpr int FILE_TXT = 16;
constexpr int FILE_ANSI = 32;
constexpr int FILE_UNICODE = 64;
constexpr int FILE_SHARE_READ = 128;
constexpr int FILE_SHARE_WRITE = 256;
constexpr int FILE_REWRITE = 512;
constexpr int FILE_COMMON = 4096;

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
template <typename T, std::size_t N>
int ArraySize(const T (&)[N]) {
  return static_cast<int>(N);
}

string Symbol();
ENUM_TIMEFRAMES Period();
int Digits();  // decimals of the chart symbol's prices
int MQLInfoInteger(ENUM_MQL_INFO_INTEGER property);
string EnumToString(ENUM_TIMEFRAMES period);  // "PERIOD_H4"

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
// Fixed notation with `digits` decimals (0..16), scientific with -digits
// (-1..-16), otherwise 8 decimals.
string DoubleToString(double value, int digits = 8);

int StringLen(const string& text);
// From `start`, `length` characters or (-1) the rest; "" when `start` is
// outside the text.
string StringSubstr(const string& text, int start, int length = -1);
// 0 outside the text.
ushort StringGetCharacter(const string& text, int position);
// At the text's length the character is appended; beyond it, false.
bool StringSetCharacter(string& text, int position, ushort character);

// Files, only inside the sandbox: MQL5\Files of the terminal, or with
// FILE_COMMON the Files folder common to all terminals. Names may hold
// subfolders ("\\" or "/"), never "..", a drive or < > : " | ? *.
// FILE_WRITE without FILE_READ empties the file or makes it, with its
// folders; FILE_READ alone needs the file. At most 64 are open at once.
int FileOpen(const string& name, int flags, short delimiter = '\t', uint codepage = CP_ACP);
// Bytes written, 0 on failure. In a text file (no FILE_BIN) each "\n"
// without a "\r" before it becomes "\r\n" and `length` is ignored; without
// FILE_ANSI the text goes as UTF-16LE.
uint FileWriteString(int handle, const string& text, int length = -1);
void FileClose(int handle);
// Renames within the sandbox (common_flag and FILE_COMMON in mode_flags say
// where each name lies); an existing destination is replaced only with
// FILE_REWRITE.
bool FileMove(const string& source, int common_flag, const string& destination, int mode_flags);
bool FileDelete(const string& name, int common_flag = 0);

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
  int digits = 5;
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

// The terminal's MQL5\Files folder and the common Files folder (FILE_COMMON);
// a reset keeps them. By default MQL5/Files and Common/Files under the
// current folder.
void setFilesFolders(const std::string& local, const std::string& common);
const std::string& filesFolder();
// Files the program holds open.
int openFileCount();

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
