#pragma once
// The viewer's in-memory run log, shown newest first by the log screen. It
// has no lock: its writers and its reader never run at the same time.
//
// Its messages hold texts from the link (the symbol, the send time, the
// lines of every save), so the log is bounded whatever comes over it: a
// message keeps at most kRunLogMessageBytes bytes, a longer one is cut
// between two characters and ends in the cut mark; and the log keeps the
// newest kRunLogEntryLimit entries. Once older ones have to go, the oldest
// entry is a note of how many went, updated with every further one.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tavelund {

struct RunLogEntry {
  std::string timeText;  // localTimeText() when the entry was added
  std::string message;
};

// A timeline line is about 60 bytes and every other message shorter still.
inline constexpr size_t kRunLogMessageBytes = 200;
// A run logs about 15 entries at start and end and up to 25 per save:
// some 200 saves fill it.
inline constexpr size_t kRunLogEntryLimit = 5000;

class RunLog {
 public:
  using Entries = std::deque<RunLogEntry>;

  RunLog() = default;
  // Each entry as append takes it.
  RunLog(std::initializer_list<RunLogEntry> entries);

  // Adds `entry` as the newest, its message cut, and drops the oldest entry
  // beyond the limit.
  void append(RunLogEntry entry);
  void clear();

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const RunLogEntry& operator[](size_t index) const { return entries_[index]; }
  const RunLogEntry& back() const { return entries_.back(); }
  Entries::const_iterator begin() const { return entries_.begin(); }
  Entries::const_iterator end() const { return entries_.end(); }
  Entries::const_reverse_iterator rbegin() const { return entries_.rbegin(); }
  Entries::const_reverse_iterator rend() const { return entries_.rend(); }

  // How many entries were dropped so far.
  uint64_t dropped() const { return dropped_; }

 private:
  Entries entries_;  // oldest first; the note of dropped entries first once there is one
  uint64_t dropped_ = 0;
};

// The note that stands for `count` dropped entries.
std::string droppedEntriesNote(uint64_t count);

// The process-wide log.
RunLog& runLog();

// Appends {localTimeText(), message} to the process-wide log.
void appendLog(std::string message);
// The same for `label` + `text`, copying no more of `text` than the log
// keeps (a published line may be 100 MiB long).
void appendLog(std::string_view label, std::string_view text);

}  // namespace tavelund
