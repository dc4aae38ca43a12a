#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/child_process.h"

extern char** environ;

namespace tavelund::testing {

namespace {

constexpr int kOutputFlags = O_WRONLY | O_CREAT | O_TRUNC;
constexpr mode_t kOutputMode = 0600;

// The program's name and its arguments, as exec takes them; the pointers
// point into `texts`.
std::vector<char*> argumentVector(std::vector<std::string>& texts) {
  std::vector<char*> argv;
  for (auto& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& outputPath) {
  std::vector<std::string> texts{program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = argumentVector(texts);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!outputPath.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), kOutputFlags, kOutputMode);
  }
  pid_t pid = 0;
  started_ = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  id_ = pid;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& outputPath, const std::function<bool()>& inChild) {
  std::vector<std::string> texts{program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = argumentVector(texts);
  // As posix_spawn does, this returns only once the child runs the program
  // (its output file made) or has failed: the pipe closes at the exec, or
  // brings the child's errno.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return;
  const pid_t pid = fork();
  if (pid == 0) {
    close(report[0]);
    auto fail = [&](int code) {
      const int error = errno;
      [[maybe_unused]] const ssize_t sent = write(report[1], &error, sizeof error);
      _exit(code);
    };
    if (!outputPath.empty()) {
      const int output = open(outputPath.c_str(), kOutputFlags | O_CLOEXEC, kOutputMode);
      if (output < 0 || dup2(output, 1) < 0) fail(126);
    }
    if (!inChild()) fail(126);
    execve(program.c_str(), argv.data(), environ);
    fail(127);
  }
  close(report[1]);
  int error = 0;
  ssize_t got = -1;
  if (pid > 0) {
    do got = read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
  }
  close(report[0]);
  if (pid > 0 && got != 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    return;
  }
  started_ = pid > 0;
  id_ = pid;
}

ChildProcess::~ChildProcess() {
  if (started_ && !reaped_) kill();
}

std::optional<int> ChildProcess::waitExit(std::chrono::milliseconds timeout) {
  if (!started_) return -1;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(static_cast<pid_t>(id_), &status, WNOHANG);
    if (done == static_cast<pid_t>(id_)) {
      reaped_ = true;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return 128 + WTERMSIG(status);
    }
    if (done < 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void ChildProcess::kill() {
  if (!started_ || reaped_) return;
  ::kill(static_cast<pid_t>(id_), SIGKILL);
  int status = 0;
  waitpid(static_cast<pid_t>(id_), &status, 0);
  reaped_ = true;
}

std::string ownProgramPath() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

std::string ownProgramFolder() {
  const std::string path = ownProgramPath();
  return path.substr(0, path.rfind('/') + 1);
}

std::string programFile(const std::string& name) { return name; }

}  // namespace tavelund::testing
