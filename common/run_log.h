#pragma once
// The viewer's in-memory run log, shown newest first by the log screen. It
// has no lock: its writers and its reader never run at the same time.
#include <string>
#include <vector>

namespace tavelund {

struct RunLogEntry {
  std::string timeText;  // localTimeText() when the entry was added
  std::string message;
};

using RunLog = std::vector<RunLogEntry>;

// The process-wide log.
RunLog& runLog();

// Appends {localTimeText(), message} to the process-wide log.
void appendLog(std::string message);

}  // namespace tavelund
