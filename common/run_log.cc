#include "common/run_log.h"

#include "common/local_time.h"

namespace tavelund {

RunLog& runLog() {
  static RunLog log;
  return log;
}

void appendLog(std::string message) {
  runLog().push_back(RunLogEntry{localTimeText(), std::move(message)});
}

}  // namespace tavelund
