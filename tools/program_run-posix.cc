#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "common/deadline.h"
#include "tools/program_run.h"

extern char** environ;

namespace tavelund {
namespace {

// This process's environment without the variables the run sets, then
// those: a name set twice would leave it to the program which one it reads.
std::vector<std::string> environmentFor(const ProgramRun& run) {
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text = *entry;
    const std::string_view name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const auto& variable : run.variables) replaced = replaced || variable.first == name;
    if (!replaced) entries.emplace_back(text);
  }
  for (const auto& [name, value] : run.variables) entries.push_back(name + "=" + value);
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (std::string& text : texts) out.push_back(text.data());
  out.push_back(nullptr);
  return out;
}

// Ends the program and whatever it started: it leads a process group of its
// own.
RunResult endGroup(pid_t pid, RunResult::End end) {
  ::kill(-pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return RunResult{end, 0, {}};
}

}  // namespace

RunResult runProgram(const ProgramRun& run, const std::function<bool()>& stopRequested) {
  if (run.command.empty() || run.command.front().empty())
    return RunResult{RunResult::End::NotStarted, 0, "no program"};
  std::vector<std::string> arguments = run.command;
  std::vector<std::string> environment = environmentFor(run);
  std::vector<char*> argv = pointers(arguments);
  std::vector<char*> envp = pointers(environment);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A group of its own, so that the time limit ends its children too; the
  // stop signals at their defaults and none blocked, whatever this process
  // does with them.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGALRM}) sigaddset(&defaults, signal);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return RunResult{RunResult::End::NotStarted, 0, std::strerror(failed)};

  const auto deadline = MonotonicClock::now() + run.timeLimit;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFSIGNALED(status)) return RunResult{RunResult::End::Signalled, WTERMSIG(status), {}};
      return RunResult{RunResult::End::Exited, WEXITSTATUS(status), {}};
    }
    if (done < 0 && errno != EINTR) return RunResult{RunResult::End::Exited, 0, {}};
    if (stopRequested && stopRequested()) return endGroup(pid, RunResult::End::Stopped);
    if (MonotonicClock::now() >= deadline) return endGroup(pid, RunResult::End::TimedOut);
    sleepPeriod(std::chrono::milliseconds(5));
  }
}

}  // namespace tavelund
