// The viewer draws into a terminal, so on Linux it is started inside a new
// terminal window: $TERMINAL, else x-terminal-emulator, with
// "-e ./ConsoleTavelundPF <run options>". The launcher neither waits for it
// nor keeps it as a child: a double fork hands the terminal to init, and a
// close-on-exec pipe tells whether the exec worked.
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "common/split.h"
#include "launcher/settings.h"

namespace tavelund {
namespace {

constexpr const char* kViewerProgram = "ConsoleTavelundPF";

bool isExecutableFile(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

// The terminal's full path, searched along PATH like a shell would.
std::string findProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return isExecutableFile(name) ? name : std::string();
  const char* path = std::getenv("PATH");
  for (std::string_view folder : splitViews(path ? path : "/usr/local/bin:/usr/bin:/bin", ":")) {
    std::string candidate = (folder.empty() ? std::string(".") : std::string(folder)) + "/" + name;
    if (isExecutableFile(candidate)) return candidate;
  }
  return {};
}

// Forks twice; returns true once the grandchild has exec'd the terminal.
bool spawnDetached(const std::string& program, const std::vector<std::string>& arguments) {
  // Everything the children need is built before fork: between fork and
  // exec only async-signal-safe calls are allowed.
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;

  pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    ::close(report[0]);
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    // Descriptors of the launcher (sockets, files) stay with the launcher.
    ::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execv(program.c_str(), argv.data());
    int error = errno;
    [[maybe_unused]] ssize_t written = ::write(report[1], &error, sizeof error);
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int execError = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &execError, sizeof execError);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

}  // namespace

bool StartChart(const LauncherSettings& settings, std::ostream& errors) {
  const char* chosen = std::getenv("TERMINAL");
  std::string terminal = findProgram(chosen && *chosen ? chosen : "x-terminal-emulator");

  bool started = false;
  if (!terminal.empty() && isExecutableFile(kViewerProgram)) {
    std::vector<std::string> arguments{terminal, "-e", std::string("./") + kViewerProgram};
    const std::string options = BuildRunOptions(settings);
    for (std::string_view piece : splitViews(options, " ")) {
      if (!piece.empty()) arguments.emplace_back(piece);
    }
    started = spawnDetached(terminal, arguments);
  }
  if (!started) errors << "Failed to start program" << std::endl;
  return started;
}

}  // namespace tavelund
