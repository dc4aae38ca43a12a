#include "engine/csv_save.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "common/path_text.h"
#include "common/run_log.h"
#include "common/screen_rules.h"
#include "common/chart_lock.h"
#include "common/screen_text.h"
#include "common/whole_file.h"
#include "engine/csv_save_file.h"
#include "intake/batch_request.h"

namespace tavelund {
namespace {

constexpr std::string_view kWholeMinute = ":00.000";
constexpr int kExcerptLines = 5;

std::string textOf(const char* text) { return text ? std::string(text) : std::string(); }

std::string shownPath(const std::filesystem::path& path) { return screenText(pathText(path)); }

// `label` and the file's path as a console line shows them. The folder and
// the name's time stamp are the program's own and stay; the symbol in the
// name came over the link and gets what is left of `columns`.
std::string pathLine(std::string_view label, const std::filesystem::path& folder,
                     std::string_view symbol, const LocalTime& time, size_t columns) {
  const std::string before = std::string(label) + shownPath(folder) +
                             static_cast<char>(std::filesystem::path::preferred_separator);
  const std::string after = "_" + compactTimeStamp(time) + ".csv";
  const size_t fixed = before.size() + after.size();
  return before + screenTextWithin(csvFileSymbol(symbol), columns > fixed ? columns - fixed : 0) +
         after;
}

// Walks the lines of a text (split at "\n", the piece after the last "\n"
// included) from the last to the first without building a list of them.
class BackwardLines {
 public:
  explicit BackwardLines(std::string_view text) : text_(text), end_(text.size()) {}
  bool next(std::string_view& line) {
    if (done_) return false;
    const size_t newline = end_ == 0 ? std::string_view::npos : text_.rfind('\n', end_ - 1);
    const size_t start = newline == std::string_view::npos ? 0 : newline + 1;
    line = text_.substr(start, end_ - start);
    if (newline == std::string_view::npos) {
      done_ = true;
    } else {
      end_ = newline;
    }
    return true;
  }

 private:
  std::string_view text_;
  size_t end_;
  bool done_ = false;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// One or more characters of a class at `at`; false when there is none.
template <typename Accept>
bool run(std::string_view line, size_t& at, Accept accept) {
  const size_t start = at;
  while (at < line.size() && accept(line[at])) ++at;
  return at > start;
}

bool literal(std::string_view line, size_t& at, char c) {
  if (at >= line.size() || line[at] != c) return false;
  ++at;
  return true;
}

}  // namespace

std::string csvFileSymbol(std::string_view symbol) {
  std::string name(symbol);
  for (char& c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f ||
        std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  return name;
}

std::optional<std::string> csvFileName(std::string_view symbol, const LocalTime& time) {
  if (!symbol.empty() && symbol.find_first_not_of('.') == std::string_view::npos)
    return std::nullopt;
  return csvFileSymbol(symbol) + "_" + compactTimeStamp(time) + ".csv";
}

std::string csvContent(std::string_view lines, std::string_view lineEnd) {
  std::string content = "date,open,high,low,close";
  content += lineEnd;
  content.reserve(content.size() + lines.size() + lines.size() / 32);
  BackwardLines walk(lines);
  for (std::string_view line; walk.next(line);) {
    // Exactly one ":00.000" in the line: its time is on a whole minute.
    const size_t at = line.find(kWholeMinute);
    if (at == std::string_view::npos) continue;
    if (line.find(kWholeMinute, at + kWholeMinute.size()) != std::string_view::npos) continue;
    content.append(line.substr(0, at));
    content.append(line.substr(at + kWholeMinute.size()));
    content += lineEnd;
  }
  return content;
}

bool isTimelineLine(std::string_view line) {
  // digits/digits/digits digits:digits:digits.digits then four price fields
  // of digits and points, separated by commas; the whole line.
  size_t at = 0;
  const auto digits = [](char c) { return isDigit(c); };
  const auto price = [](char c) { return isDigit(c) || c == '.'; };
  const char separators[] = {'/', '/', ' ', ':', ':', '.'};
  if (!run(line, at, digits)) return false;
  for (char separator : separators) {
    if (!literal(line, at, separator) || !run(line, at, digits)) return false;
  }
  for (int field = 0; field < 4; ++field) {
    if (!literal(line, at, ',') || !run(line, at, price)) return false;
  }
  return at == line.size();
}

void logLineExcerpt(std::string_view lines) {
  const size_t count = static_cast<size_t>(std::count(lines.begin(), lines.end(), '\n')) + 1;
  BackwardLines walk(lines);
  size_t position = count;  // 1-based position of the line `walk` gives next
  int logged = 0;
  for (std::string_view line; logged < kExcerptLines && walk.next(line); --position) {
    if (!isTimelineLine(line)) continue;
    appendLog("[" + std::to_string(position) + "]", line);
    ++logged;
  }
  appendLog(">>>>> SKIP <<<<<");
  const long long last = count < kExcerptLines ? static_cast<long long>(count) - 2 : 4;
  if (last < 0) return;
  std::vector<std::string_view> first;
  size_t start = 0;
  for (long long index = 0; index <= last; ++index) {
    const size_t newline = lines.find('\n', start);
    first.push_back(lines.substr(
        start, newline == std::string_view::npos ? std::string_view::npos : newline - start));
    start = newline + 1;
  }
  for (long long index = last; index >= 0; --index) {
    appendLog("[" + std::to_string(index) + "]", first[static_cast<size_t>(index)]);
  }
}

CsvSaveOutcome saveCsv(const LinkCalls& link, const CsvSaveOptions& options) {
  std::lock_guard<std::mutex> lock(chartLock);
  std::ostream& out = *options.out;
  std::ostream& err = *options.err;
  const size_t columns = options.screenColumns;
  const auto runEnds = [&] { return options.runEnding != nullptr && options.runEnding->load(); };

  out << "    Save Start : " << std::endl;
  const std::filesystem::path folder = options.programFolder / "CSV";
  std::error_code error;
  const auto folderFailed = [&](const std::string& reason) {
    // The run ends after this text; the console is given back first where
    // it has a screen of its own, or the text would vanish with it.
    if (options.beforeFatalMessage) options.beforeFatalMessage();
    err << "mkdir error : " << shownPath(folder) << " : " << reason << std::endl;
    return CsvSaveOutcome::FolderFailed;
  };
  if (!std::filesystem::create_directory(folder, error) && error) {
    if (!std::filesystem::is_directory(folder)) return folderFailed(error.message());
  } else if (!error && !std::filesystem::is_directory(folder)) {
    // create_directory reports no error for an existing plain file of the
    // same name on some platforms; that is no folder to save into.
    return folderFailed(std::make_error_code(std::errc::file_exists).message());
  }

  out << screenLine("    getsendtimeMT5()  : BEFORE : ", textOf(link.getSendTime()), columns)
      << std::endl;
  logLineExcerpt(textOf(link.readLines()));
  appendLog(logRule());

  const BatchRequest request{.answerWait = options.waitLimit,
                             .progressInterval = options.pollPeriod,
                             .abandon = options.runEnding};
  const BatchProgress progress{
      .out = &out, .label = "    Saving... ", .erase = 30, .shown = ProgressShown::WhileWaiting};
  if (requestBatch(link, request, progress) == BatchAnswer::Abandoned)
    return CsvSaveOutcome::Abandoned;
  const std::string symbol = textOf(link.getSymbol());
  appendLog("getsymbolcMT5()   : AFTER  : ", symbol);
  out << screenLine("    getsendtimeMT5()  : AFTER  : ", textOf(link.getSendTime()), columns)
      << std::endl;

  const std::string lines = textOf(link.readLines());
  logLineExcerpt(lines);
  appendLog(logRule());

  const LocalTime now = options.clock();
  const std::optional<std::string> name = csvFileName(symbol, now);
  std::filesystem::path path;
  try {
    if (name) path = csvFilePath(folder, *name);
  } catch (const std::runtime_error&) {
    // A symbol the code page cannot carry gives no file name.
  }
  const auto cannotSave = [&] {
    err << pathLine("Can Not Save : ", folder, symbol, now, columns) << std::endl;
    return CsvSaveOutcome::CannotSave;
  };
  if (path.empty()) return cannotSave();
  if (runEnds()) return CsvSaveOutcome::Abandoned;
  const std::string content = csvContent(lines, csvLineEnd());
  if (!writeWholeFile(path, content, kPartFileForm, options.runEnding)) {
    if (runEnds()) return CsvSaveOutcome::Abandoned;
    return cannotSave();
  }
  out << pathLine("    Saved : ", folder, symbol, now, columns) << std::endl;
  out << "    Done... " << std::endl;
  return CsvSaveOutcome::Saved;
}

}  // namespace tavelund
