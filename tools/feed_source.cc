#include "tools/feed_source.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <tuple>

#include <sys/stat.h>

#include "common/number_text.h"
#include "common/printable.h"
#include "common/split.h"

namespace tavelund::feed {
namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  // "<DATE>" names the same column as "date".
  if (out.size() >= 2 && out.front() == '<' && out.back() == '>')
    out = out.substr(1, out.size() - 2);
  return out;
}

bool parseInt(std::string_view text, int& value) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool parseFixedWidthInt(std::string_view text, size_t minDigits, size_t maxDigits, int& value) {
  if (text.size() < minDigits || text.size() > maxDigits) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return parseInt(text, value);
}

bool parsePrice(std::string_view text, double& value) {
  text = trim(text);
  if (text.empty()) return false;
  if (text.front() == '+') text.remove_prefix(1);
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// The timeline line writes every price in fixed notation with this many
// decimals (link/line_format.cc).
constexpr int kLineDecimals = 5;
// How far the line's text may stand from the price, relative to it.
constexpr double kLineTolerance = 1e-4;

// Why the link cannot carry `price` to the viewer, or an empty text when it
// can. The viewer reads the line's 5-decimal text as a single-precision
// float and keeps only prices above zero, so a price must be above zero,
// fit a float, and its text must stand within a part in 10^4 of it (from
// 0.05 up every price does; 0.000001 would arrive as 0.00000).
std::string carriageProblem(double price) {
  if (!(price > 0)) return "not above zero";
  if (!(price <= std::numeric_limits<float>::max()) || !(static_cast<float>(price) > 0))
    return "beyond the viewer's single-precision range";
  // Five decimals are off by at most 0.000005, so from 0.1 up they stay well
  // inside the tolerance and the text need not be written to tell.
  if (price >= 0.1) return {};
  const std::string text = fixedText(price, kLineDecimals);
  const char* const end = text.data() + text.size();
  double shown = 0;
  const auto asDouble = std::from_chars(text.data(), end, shown, std::chars_format::fixed);
  float read = 0;
  const auto asFloat = std::from_chars(text.data(), end, read, std::chars_format::fixed);
  if (asDouble.ec != std::errc() || !(std::fabs(shown - price) <= price * kLineTolerance) ||
      asFloat.ec != std::errc() || !std::isfinite(read) || !(read > 0)) {
    return std::to_string(kLineDecimals) + " decimals: " + text +
           ", off by more than 1 part in 10000";
  }
  return {};
}

// Whether the high and the low hold the open and the close; empty when so.
std::string shapeProblem(const TimelineBar& bar) {
  if (bar.low > bar.high) return "low is above high";
  if (bar.high < bar.open) return "high is below open";
  if (bar.high < bar.close) return "high is below close";
  if (bar.low > bar.open) return "low is above open";
  if (bar.low > bar.close) return "low is above close";
  return {};
}

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leapYear(year) ? 29 : days[month - 1];
}

// "2024-03-05", "2024/03/05", "2024.03.05"; only days that exist.
bool parseDate(std::string_view text, TimelineBar& bar) {
  if (text.size() != 10) return false;
  const char separator = text[4];
  if ((separator != '-' && separator != '/' && separator != '.') || text[7] != separator)
    return false;
  if (!parseFixedWidthInt(text.substr(0, 4), 4, 4, bar.year) ||
      !parseFixedWidthInt(text.substr(5, 2), 2, 2, bar.month) ||
      !parseFixedWidthInt(text.substr(8, 2), 2, 2, bar.day)) {
    return false;
  }
  return bar.month >= 1 && bar.month <= 12 && bar.day >= 1 &&
         bar.day <= daysInMonth(bar.year, bar.month);
}

// "hh:mm", "hh:mm:ss", "hh:mm:ss.mmm".
bool parseTime(std::string_view text, TimelineBar& bar) {
  bar.hour = bar.minute = bar.second = bar.millisecond = 0;
  std::string_view rest = text;
  const size_t dot = rest.find('.');
  if (dot != std::string_view::npos) {
    if (!parseFixedWidthInt(rest.substr(dot + 1), 1, 3, bar.millisecond)) return false;
    rest = rest.substr(0, dot);
  }
  const auto parts = splitViews(rest, ":");
  if (parts.size() < 2 || parts.size() > 3) return false;
  if (!parseFixedWidthInt(parts[0], 1, 2, bar.hour) ||
      !parseFixedWidthInt(parts[1], 2, 2, bar.minute)) {
    return false;
  }
  if (parts.size() == 3 && !parseFixedWidthInt(parts[2], 2, 2, bar.second)) return false;
  return bar.hour <= 23 && bar.minute <= 59 && bar.second <= 59;
}

bool parseDateTime(std::string_view text, TimelineBar& bar) {
  text = trim(text);
  if (text.size() < 10 || !parseDate(text.substr(0, 10), bar)) return false;
  bar.hour = bar.minute = bar.second = bar.millisecond = 0;
  if (text.size() == 10) return true;
  if (text[10] != ' ' && text[10] != 'T') return false;
  return parseTime(trim(text.substr(11)), bar);
}

auto timeKey(const TimelineBar& bar) {
  return std::tie(bar.year, bar.month, bar.day, bar.hour, bar.minute, bar.second, bar.millisecond);
}

auto minuteKey(const TimelineBar& bar) {
  return std::tie(bar.year, bar.month, bar.day, bar.hour, bar.minute);
}

// Sorted bars in, one bar per minute out, timed at the minute.
void mergeMinutes(std::vector<TimelineBar>& bars) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const TimelineBar& bar = bars[i];
    if (kept > 0 && minuteKey(bars[kept - 1]) == minuteKey(bar)) {
      TimelineBar& merged = bars[kept - 1];
      merged.high = std::max(merged.high, bar.high);
      merged.low = std::min(merged.low, bar.low);
      merged.close = bar.close;
      continue;
    }
    bars[kept] = bar;
    bars[kept].second = 0;
    bars[kept].millisecond = 0;
    ++kept;
  }
  bars.resize(kept);
}

BarsResult refused(const std::string& error) {
  BarsResult result;
  result.error = error;
  return result;
}

}  // namespace

std::string quotedInput(std::string_view text, std::size_t limit) {
  std::string out = "\"";
  appendPrintable(out, text.substr(0, limit));
  out += '"';
  if (text.size() > limit) out += "... (" + std::to_string(text.size()) + " bytes)";
  return out;
}

BarsResult parseBars(std::string_view text, const std::string& fileName) {
  BarsResult result;
  auto fail = [&](size_t line, const std::string& what) {
    result.bars.clear();
    result.error = fileName + ":" + std::to_string(line) + ": " + what;
    return result;
  };
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte-order mark
  const auto lines = splitViews(text, "\n");
  size_t headerIndex = 0;
  while (headerIndex < lines.size() && trim(lines[headerIndex]).empty()) ++headerIndex;
  if (headerIndex == lines.size()) return fail(1, "no header line (the file is empty)");

  const std::string_view header = trim(lines[headerIndex]);
  const std::string_view delimiter = header.find('\t') != std::string_view::npos ? "\t" : ",";
  int dateColumn = -1, timeColumn = -1, openColumn = -1, highColumn = -1, lowColumn = -1,
      closeColumn = -1;
  const auto names = splitViews(header, delimiter);
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string name = lowered(trim(names[i]));
    const int index = static_cast<int>(i);
    if (name == "date")
      dateColumn = index;
    else if (name == "time")
      timeColumn = index;
    else if (name == "open")
      openColumn = index;
    else if (name == "high")
      highColumn = index;
    else if (name == "low")
      lowColumn = index;
    else if (name == "close")
      closeColumn = index;
  }
  if (dateColumn < 0 || openColumn < 0 || highColumn < 0 || lowColumn < 0 || closeColumn < 0) {
    return fail(headerIndex + 1,
                "header must name the columns date, open, high, low and close; found " +
                    quotedInput(header));
  }
  const int needed =
      std::max({dateColumn, timeColumn, openColumn, highColumn, lowColumn, closeColumn});

  for (size_t i = headerIndex + 1; i < lines.size(); ++i) {
    const size_t lineNumber = i + 1;
    const std::string_view row = trim(lines[i]);
    if (row.empty()) continue;
    const auto fields = splitViews(row, delimiter);
    if (static_cast<int>(fields.size()) <= needed) {
      return fail(lineNumber, "expected at least " + std::to_string(needed + 1) +
                                  " fields, found " + std::to_string(fields.size()));
    }
    TimelineBar bar;
    if (timeColumn >= 0) {
      if (!parseDate(trim(fields[dateColumn]), bar)) {
        return fail(lineNumber, "bad date " + quotedInput(fields[dateColumn]));
      }
      if (!parseTime(trim(fields[timeColumn]), bar)) {
        return fail(lineNumber, "bad time " + quotedInput(fields[timeColumn]));
      }
    } else if (!parseDateTime(fields[dateColumn], bar)) {
      return fail(lineNumber, "bad date " + quotedInput(fields[dateColumn]));
    }
    struct {
      int column;
      const char* name;
      double* value;
    } prices[] = {{openColumn, "open", &bar.open},
                  {highColumn, "high", &bar.high},
                  {lowColumn, "low", &bar.low},
                  {closeColumn, "close", &bar.close}};
    for (const auto& price : prices) {
      const std::string_view field = fields[price.column];
      if (!parsePrice(field, *price.value)) {
        return fail(lineNumber, std::string("bad ") + price.name + " price " + quotedInput(field));
      }
      const std::string problem = carriageProblem(*price.value);
      if (!problem.empty()) {
        return fail(lineNumber, std::string(price.name) + " price " + quotedInput(trim(field)) +
                                    " cannot be carried by the link (" + problem + ")");
      }
    }
    if (const std::string problem = shapeProblem(bar); !problem.empty())
      return fail(lineNumber, problem);
    result.bars.push_back(bar);
  }
  if (result.bars.empty()) return fail(lines.size(), "no bars after the header");
  // The viewer's save lists the newest bar first; the timeline wants it last.
  std::stable_sort(
      result.bars.begin(), result.bars.end(),
      [](const TimelineBar& a, const TimelineBar& b) { return timeKey(a) < timeKey(b); });
  mergeMinutes(result.bars);
  return result;
}

BarsResult loadBars(const std::string& path, std::size_t maxBytes) {
  const std::string name = printable(path);
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    return refused(name + ": cannot open the file (" + std::strerror(errno) + ")");
  }
  if (S_ISDIR(info.st_mode)) return refused(name + ": is a directory, not a file of bars");
  const std::string tooBig = name + ": larger than " + std::to_string(maxBytes >> 20) +
                             " MiB; the feed reads at most that much (the timeline holds 128 MiB)";
  if (S_ISREG(info.st_mode) && static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
    return refused(tooBig);
  }
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return refused(name + ": cannot open the file (" + std::strerror(errno) + ")");

  // Read in pieces, so an endless or binary source is refused early.
  std::string content;
  if (S_ISREG(info.st_mode)) content.reserve(static_cast<std::size_t>(info.st_size));
  char piece[1 << 16];
  for (;;) {
    const std::size_t got = std::fread(piece, 1, sizeof piece, file.get());
    if (got == 0) break;
    if (content.size() + got > maxBytes) return refused(tooBig);
    const std::size_t start = content.size();
    content.append(piece, got);
    if (start < 2 && content.size() >= 2 &&
        (content.compare(0, 2, "\xFF\xFE") == 0 || content.compare(0, 2, "\xFE\xFF") == 0)) {
      return refused(name + ": the file is UTF-16 text; save it as UTF-8 or ASCII");
    }
    if (const void* zero = std::memchr(content.data() + start, 0, got)) {
      const auto at = static_cast<std::size_t>(static_cast<const char*>(zero) - content.data());
      const auto line =
          1 + std::count(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(at), '\n');
      return refused(name + ":" + std::to_string(line) + ": a NUL byte; this is not a text file");
    }
  }
  if (std::ferror(file.get())) {
    return refused(name + ": cannot read the file (" + std::strerror(errno) + ")");
  }
  return parseBars(content, name);
}

BatchPlan::BatchPlan(std::vector<TimelineBar> bars, PlanOptions options)
    : bars_(std::move(bars)), options_(options) {
  steps_ = std::max(1, options_.liveSteps);
  shown_ = std::min(bars_.size(), std::max<size_t>(1, options_.firstBatch));
  step_ = 1;
}

std::vector<TimelineBar> BatchPlan::batch() const {
  std::vector<TimelineBar> out(bars_.begin(), bars_.begin() + static_cast<std::ptrdiff_t>(shown_));
  if (!out.empty() && step_ < steps_) out.back() = formingBar(out.back(), step_, steps_);
  return out;
}

void BatchPlan::advance() {
  if (step_ < steps_) {
    ++step_;
    return;
  }
  if (shown_ < bars_.size()) {
    shown_ = std::min(bars_.size(), shown_ + std::max<size_t>(1, options_.perRequest));
    step_ = 1;
  }
}

TimelineBar formingBar(const TimelineBar& bar, int step, int steps) {
  if (steps <= 1 || step >= steps) return bar;
  if (step < 1) step = 1;
  const bool rising = bar.close >= bar.open;
  const double path[4] = {bar.open, rising ? bar.low : bar.high, rising ? bar.high : bar.low,
                          bar.close};
  double length = 0;
  for (int i = 0; i < 3; ++i) length += std::fabs(path[i + 1] - path[i]);
  double remaining = length * static_cast<double>(step) / static_cast<double>(steps);
  TimelineBar out = bar;
  out.high = out.low = out.close = bar.open;
  for (int i = 0; i < 3; ++i) {
    const double segment = std::fabs(path[i + 1] - path[i]);
    double price = path[i + 1];
    if (segment > remaining) {
      price = path[i] + (path[i + 1] > path[i] ? remaining : -remaining);
      remaining = 0;
    } else {
      remaining -= segment;
    }
    out.high = std::max(out.high, price);
    out.low = std::min(out.low, price);
    out.close = price;
    if (remaining <= 0) break;
  }
  return out;
}

}  // namespace tavelund::feed
