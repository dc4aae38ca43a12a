#include "tools/program_run.h"

namespace tavelund {

std::string runFailure(const RunResult& result, std::chrono::milliseconds timeLimit) {
  switch (result.end) {
    case RunResult::End::Exited:
      return result.code == 0 ? std::string() : "exit code " + std::to_string(result.code);
    case RunResult::End::Signalled:
      return "ended by signal " + std::to_string(result.code);
    case RunResult::End::NotStarted:
      return "not started: " + result.problem;
    case RunResult::End::TimedOut:
      return "still running after " +
             std::to_string(std::chrono::duration_cast<std::chrono::seconds>(timeLimit).count()) +
             " s: ended";
    case RunResult::End::Stopped:
      break;
  }
  return {};
}

}  // namespace tavelund
