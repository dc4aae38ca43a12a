#include "common/run_log.h"

#include <utility>

#include "common/local_time.h"
#include "common/screen_text.h"

namespace tavelund {
namespace {

// The one rule for a message that is too long for the log.
void cutMessage(std::string& message) {
  if (message.size() <= kRunLogMessageBytes) return;
  message.resize(wholeCharactersWithin(message, kRunLogMessageBytes - 1).size());
  message += kCutMark;
}

}  // namespace

RunLog::RunLog(std::initializer_list<RunLogEntry> entries) {
  for (const RunLogEntry& entry : entries) append(entry);
}

void RunLog::append(RunLogEntry entry) {
  cutMessage(entry.message);
  entries_.push_back(std::move(entry));
  if (entries_.size() <= kRunLogEntryLimit) return;
  if (dropped_ == 0) {
    // The two oldest make room for the note.
    entries_.pop_front();
    entries_.pop_front();
    dropped_ = 2;
    entries_.push_front(RunLogEntry{entries_.back().timeText, droppedEntriesNote(dropped_)});
  } else {
    entries_.erase(entries_.begin() + 1);
    ++dropped_;
    entries_.front() = RunLogEntry{entries_.back().timeText, droppedEntriesNote(dropped_)};
  }
}

void RunLog::clear() {
  entries_.clear();
  dropped_ = 0;
}

std::string droppedEntriesNote(uint64_t count) {
  return "<<<<< " + std::to_string(count) + " OLDER ENTRIES DROPPED >>>>>";
}

RunLog& runLog() {
  static RunLog log;
  return log;
}

void appendLog(std::string message) {
  runLog().append(RunLogEntry{localTimeText(), std::move(message)});
}

void appendLog(std::string_view label, std::string_view text) {
  // One byte more than the log keeps tells the cut that there was more.
  std::string message(label);
  message.append(text.substr(0, kRunLogMessageBytes + 1));
  appendLog(std::move(message));
}

}  // namespace tavelund
