#pragma once
// One run of the program that tickwell-signals --exec names: started
// directly with its arguments as given (never through a shell, and no text
// is built from outside input), the signal in its environment, no standard
// input, its output on this process's standard error, and a time limit
// after which it is ended with whatever it started.
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tavelund {

struct ProgramRun {
  // The program (looked up on PATH when its name has no folder) and its
  // arguments.
  std::vector<std::string> command;
  // Set for the program on top of this process's environment.
  std::vector<std::pair<std::string, std::string>> variables;
  std::chrono::milliseconds timeLimit{30000};
};

struct RunResult {
  enum class End {
    Exited,      // `code` is its exit code
    Signalled,   // ended by the signal `code` (POSIX)
    NotStarted,  // `problem` says why (not found, not a program, ...)
    TimedOut,    // still running at the time limit, and ended
    Stopped,     // this process was asked to stop; the program was ended
  };
  End end = End::Exited;
  int code = 0;
  std::string problem;
};

// Runs it and waits for its end; `stopRequested` is asked every few
// milliseconds meanwhile.
RunResult runProgram(const ProgramRun& run, const std::function<bool()>& stopRequested);

// What went wrong, for the message on standard error: "exit code 3",
// "not started: ...", ...; empty for an exit code of 0 and for a stop.
std::string runFailure(const RunResult& result, std::chrono::milliseconds timeLimit);

}  // namespace tavelund
