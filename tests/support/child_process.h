#pragma once
// Test support: start another program (often this test program itself in a
// role), wait for it with a deadline, or kill it hard.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavelund::testing {

class ChildProcess {
 public:
  // `outputPath` empty: the child shares this process's standard output.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& outputPath = {});
#if !defined(_WIN32)
  // As above, and `inChild` runs in the child after fork and before it
  // becomes `program`, so a kill reaches the program itself. It may make
  // only async-signal-safe calls; when it returns false the child ends
  // with 126 (127: the program could not be run).
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& outputPath, const std::function<bool()>& inChild);
#endif
  ~ChildProcess();  // kills a child that is still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return started_; }
  // The exit code, or nothing if the child still runs at the deadline.
  std::optional<int> waitExit(std::chrono::milliseconds timeout);
  // Ends the child at once, as a crash would (SIGKILL / TerminateProcess),
  // and reaps it.
  void kill();
  long long id() const { return id_; }

 private:
  bool started_ = false;
  bool reaped_ = false;
  long long id_ = 0;
  void* handle_ = nullptr;
};

// The running test program's own file path.
std::string ownProgramPath();
// The folder holding it (the build's bin folder), with a trailing separator.
std::string ownProgramFolder();
// File name of a program of this build: "name" or "name.exe".
std::string programFile(const std::string& name);

}  // namespace tavelund::testing
