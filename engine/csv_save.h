#pragma once
// Saving the whole-minute lines that the MT5 side publishes as a CSV file in
// the folder "CSV" beside the program.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "common/local_time.h"
#include "common/screen_text.h"
#include "link/link_calls.h"

namespace tavelund {

struct CsvSaveOptions {
  std::filesystem::path programFolder;  // the CSV folder is made inside it
  std::ostream* out = nullptr;          // progress and results
  std::ostream* err = nullptr;          // failures
  // The wait for the MT5 side's answer, and the pause between two looks at
  // the send flag (each followed by a progress text).
  std::chrono::milliseconds waitLimit{10000};
  std::chrono::milliseconds pollPeriod{20};
  std::function<LocalTime()> clock = readLocalTime;  // for the file name
  // Runs just before the text of a failure that ends the run ("mkdir
  // error"); the console gives its screen back there.
  std::function<void()> beforeFatalMessage;
  // The cells a console line may take (screenLineRoom): the send time and
  // the file's path, which hold texts from the link, are cut to fit.
  size_t screenColumns = kAnyColumns;
  // Set by another thread when the run ends (the Q key): the save gives up
  // at its next look, while it waits for the MT5 side or while it writes,
  // and leaves no file behind.
  const std::atomic<bool>* runEnding = nullptr;
};

enum class CsvSaveOutcome {
  Saved,
  CannotSave,    // the file could not be written; reported, the run goes on
  FolderFailed,  // the CSV folder could not be made; reported, the run must end with 1
  Abandoned,     // the run ended first; nothing was written
};

// The whole save: request, wait, excerpts in the run log, file. Holds
// chartLock from start to end. The file appears complete or not at all: it
// is written under a fresh temporary name in the same folder, created
// exclusively, and then renamed (writeWholeFile).
CsvSaveOutcome saveCsv(const LinkCalls& link, const CsvSaveOptions& options);

// symbol + "_" + YYYYMMDDhhmmss + ".csv", with the symbol made a safe file
// name part (csvFileSymbol); nothing for a symbol that is only dots.
std::optional<std::string> csvFileName(std::string_view symbol, const LocalTime& time);

// The symbol comes over the link, so it must not steer the file out of the
// CSV folder: path separators, control characters and the characters that
// Windows does not allow in a file name (< > : " / \ | ? *) become '_',
// on both targets, so a symbol gives the same name everywhere. Everything
// else stays (EURUSD, US500.cash, BTCUSD#, XAUUSD.m keep their names).
std::string csvFileSymbol(std::string_view symbol);

// The file's bytes: the header, then one row per line timed on a whole
// minute (":00.000" removed), from the last line of the text to the first;
// each line ends with `lineEnd`. The rows are the published bytes as they
// are.
std::string csvContent(std::string_view lines, std::string_view lineEnd = "\n");

// Whether a whole line has the timeline form the excerpt looks for.
bool isTimelineLine(std::string_view line);

// Logs the excerpt of a published text: up to five timeline lines from the
// end, the skip mark, then the first lines; each line as much of it as the
// run log keeps of a message.
void logLineExcerpt(std::string_view lines);

}  // namespace tavelund
