#include "tests/mt5/standin/mql5.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <map>
#include <memory>
#include <string_view>

namespace mql5standin {
namespace {

namespace fs = std::filesystem;

struct OpenFile {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream{nullptr, std::fclose};
  int flags = 0;
};

constexpr int kMaxOpenFiles = 64;

struct Terminal {
  Chart chart;
  std::string filesFolder = "MQL5/Files";
  std::string commonFilesFolder = "Common/Files";
  std::map<int, OpenFile> files;
  int nextHandle = 1;
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
  Terminal fresh;
  fresh.echo = t.echo;
  fresh.filesFolder = t.filesFolder;
  fresh.commonFilesFolder = t.commonFilesFolder;
  t = std::move(fresh);  // closes the files the last program left open
  t.chart = std::move(chart);
  if (t.chart.opened > t.chart.bars.size()) t.chart.opened = t.chart.bars.size();
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

void setFilesFolders(const std::string& local, const std::string& common) {
  terminal().filesFolder = local;
  terminal().commonFilesFolder = common;
}
const std::string& filesFolder() { return terminal().filesFolder; }
int openFileCount() { return static_cast<int>(terminal().files.size()); }
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

namespace {
using mql5standin::terminal;

// The path of a sandboxed file name, or false with the terminal's error.
bool sandboxPath(const string& name, bool common, mql5standin::fs::path& path) {
  const auto refuse = [] {
    terminal().lastError = ERR_WRONG_FILENAME;
    return false;
  };
  path = common ? terminal().commonFilesFolder : terminal().filesFolder;
  std::string part;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    const char c = i < name.size() ? name[i] : '/';
    if (static_cast<unsigned char>(c) < 32 ||
        std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
      return refuse();
    }
    if (c != '/' && c != '\\') {
      part += c;
      continue;
    }
    if (part.empty() || part == "." || part == "..") return refuse();
    path /= part;
    part.clear();
  }
  return true;
}

mql5standin::OpenFile* openFile(int handle) {
  auto& files = terminal().files;
  const auto found = files.find(handle);
  if (found == files.end()) {
    terminal().lastError = ERR_INVALID_FILEHANDLE;
    return nullptr;
  }
  return &found->second;
}

}  // namespace

using mql5standin::terminal;

string Symbol() { return terminal().chart.symbol; }
ENUM_TIMEFRAMES Period() { return terminal().chart.period; }
int Digits() { return terminal().chart.digits; }

string EnumToString(ENUM_TIMEFRAMES period) {
  static const std::map<int, const char*> names = {
      {PERIOD_CURRENT, "PERIOD_CURRENT"}, {PERIOD_M1, "PERIOD_M1"},   {PERIOD_M2, "PERIOD_M2"},
      {PERIOD_M3, "PERIOD_M3"},           {PERIOD_M4, "PERIOD_M4"},   {PERIOD_M5, "PERIOD_M5"},
      {PERIOD_M6, "PERIOD_M6"},           {PERIOD_M10, "PERIOD_M10"}, {PERIOD_M12, "PERIOD_M12"},
      {PERIOD_M15, "PERIOD_M15"},         {PERIOD_M20, "PERIOD_M20"}, {PERIOD_M30, "PERIOD_M30"},
      {PERIOD_H1, "PERIOD_H1"},           {PERIOD_H2, "PERIOD_H2"},   {PERIOD_H3, "PERIOD_H3"},
      {PERIOD_H4, "PERIOD_H4"},           {PERIOD_H6, "PERIOD_H6"},   {PERIOD_H8, "PERIOD_H8"},
      {PERIOD_H12, "PERIOD_H12"},         {PERIOD_D1, "PERIOD_D1"},   {PERIOD_W1, "PERIOD_W1"},
      {PERIOD_MN1, "PERIOD_MN1"}};
  const auto found = names.find(period);
  return found == names.end() ? std::to_string(static_cast<int>(period)) : found->second;
}

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

string DoubleToString(double value, int digits) {
  char text[512];
  if (digits >= 0 && digits <= 16) {
    std::snprintf(text, sizeof text, "%.*f", digits, value);
  } else if (digits >= -16 && digits <= -1) {
    std::snprintf(text, sizeof text, "%.*e", -digits, value);
  } else {
    std::snprintf(text, sizeof text, "%.8f", value);
  }
  return text;
}

int StringLen(const string& text) { return static_cast<int>(text.size()); }

string StringSubstr(const string& text, int start, int length) {
  if (start < 0 || start >= StringLen(text)) return {};
  return length < 0
             ? text.substr(static_cast<std::size_t>(start))
             : text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
}

ushort StringGetCharacter(const string& text, int position) {
  if (position < 0 || position >= StringLen(text)) return 0;
  return static_cast<unsigned char>(text[static_cast<std::size_t>(position)]);
}

bool StringSetCharacter(string& text, int position, ushort character) {
  if (position < 0 || position > StringLen(text)) return false;
  const char narrow = static_cast<char>(character);
  if (position == StringLen(text)) {
    text += narrow;
  } else {
    text[static_cast<std::size_t>(position)] = narrow;
  }
  return true;
}

int FileOpen(const string& name, int flags, short /*delimiter*/, uint /*codepage*/) {
  mql5standin::Terminal& t = terminal();
  const bool reading = (flags & FILE_READ) != 0;
  const bool writing = (flags & FILE_WRITE) != 0;
  if (!reading && !writing) {
    t.lastError = ERR_INVALID_PARAMETER;
    return INVALID_HANDLE;
  }
  if (static_cast<int>(t.files.size()) >= mql5standin::kMaxOpenFiles) {
    t.lastError = ERR_TOO_MANY_FILES;
    return INVALID_HANDLE;
  }
  mql5standin::fs::path path;
  if (!sandboxPath(name, (flags & FILE_COMMON) != 0, path)) return INVALID_HANDLE;
  std::error_code error;
  if (mql5standin::fs::is_directory(path, error)) {
    t.lastError = ERR_FILE_IS_DIRECTORY;
    return INVALID_HANDLE;
  }
  const bool exists = mql5standin::fs::exists(path, error);
  if (writing) mql5standin::fs::create_directories(path.parent_path(), error);
  const char* mode = !writing ? "rb" : !reading ? "wb" : exists ? "r+b" : "w+b";
  mql5standin::OpenFile file;
  file.stream.reset(std::fopen(path.string().c_str(), mode));
  if (!file.stream) {
    t.lastError = ERR_CANNOT_OPEN_FILE;
    return INVALID_HANDLE;
  }
  file.flags = flags;
  const int handle = t.nextHandle++;
  t.files.emplace(handle, std::move(file));
  return handle;
}

uint FileWriteString(int handle, const string& text, int length) {
  mql5standin::OpenFile* file = openFile(handle);
  if (file == nullptr) return 0;
  if ((file->flags & FILE_WRITE) == 0) {
    terminal().lastError = ERR_FILE_NOTTOWRITE;
    return 0;
  }
  std::string characters;
  if ((file->flags & FILE_BIN) == 0) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) characters += '\r';
      characters += text[i];
    }
  } else {
    characters = text;
    if (length >= 0) characters.resize(static_cast<std::size_t>(length), '\0');
  }
  std::string bytes;
  if ((file->flags & FILE_ANSI) != 0) {
    bytes = characters;
  } else {
    for (char c : characters) {
      bytes += c;
      bytes += '\0';
    }
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), file->stream.get()) != bytes.size()) {
    terminal().lastError = ERR_FILE_WRITEERROR;
    return 0;
  }
  return static_cast<uint>(bytes.size());
}

void FileClose(int handle) {
  if (openFile(handle) != nullptr) terminal().files.erase(handle);
}

bool FileMove(const string& source, int common_flag, const string& destination, int mode_flags) {
  mql5standin::Terminal& t = terminal();
  mql5standin::fs::path from, to;
  if (!sandboxPath(source, (common_flag & FILE_COMMON) != 0, from) ||
      !sandboxPath(destination, (mode_flags & FILE_COMMON) != 0, to)) {
    return false;
  }
  std::error_code error;
  if (!mql5standin::fs::exists(from, error)) {
    t.lastError = ERR_FILE_NOT_EXIST;
    return false;
  }
  if (mql5standin::fs::is_directory(from, error) || mql5standin::fs::is_directory(to, error)) {
    t.lastError = ERR_FILE_IS_DIRECTORY;
    return false;
  }
  const bool replacing = mql5standin::fs::exists(to, error);
  if (replacing && (mode_flags & FILE_REWRITE) == 0) {
    t.lastError = ERR_FILE_CANNOT_REWRITE;
    return false;
  }
  mql5standin::fs::create_directories(to.parent_path(), error);
  // One rename: a reader of the destination sees the old file or the new
  // one, never a part (rename(2); MoveFileExW with MOVEFILE_REPLACE_EXISTING).
  mql5standin::fs::rename(from, to, error);
  if (error) {
    t.lastError = replacing ? ERR_FILE_CANNOT_REWRITE : ERR_CANNOT_OPEN_FILE;
    return false;
  }
  return true;
}

bool FileDelete(const string& name, int common_flag) {
  mql5standin::Terminal& t = terminal();
  mql5standin::fs::path path;
  if (!sandboxPath(name, (common_flag & FILE_COMMON) != 0, path)) return false;
  std::error_code error;
  if (!mql5standin::fs::exists(path, error)) {
    t.lastError = ERR_FILE_NOT_EXIST;
    return false;
  }
  if (mql5standin::fs::is_directory(path, error)) {
    t.lastError = ERR_FILE_IS_DIRECTORY;
    return false;
  }
  if (!mql5standin::fs::remove(path, error)) {
    t.lastError = ERR_CANNOT_DELETE_FILE;
    return false;
  }
  return true;
}

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
