#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "console/process_end.h"
#include "console/terminal.h"

namespace tavelund {
namespace {

// Sequences of the ANSI terminal: the alternate screen has no scroll-back,
// so the screen is exactly the window, as the Windows layout makes it.
constexpr char kEnterScreen[] = "\x1b[?1049h";
constexpr char kLeaveScreen[] = "\x1b[?1049l";
constexpr char kHideCursor[] = "\x1b[?25l";
constexpr char kShowCursor[] = "\x1b[?25h";
constexpr char kHomeAndClear[] = "\x1b[H\x1b[2J";
constexpr char kSaveTitle[] = "\x1b[22;0t";
constexpr char kRestoreTitle[] = "\x1b[23;0t";

termios savedInputMode{};
termios rawInputMode{};
std::atomic<bool> inputModeSaved{false};
std::atomic<bool> screenTaken{false};
std::atomic<bool> cursorHidden{false};
std::atomic<bool> titleSaved{false};
std::atomic<bool> consoleHeld{false};
std::atomic<bool> inputClosed{false};
KeyDecoder decoder;  // used by the input thread only (and by main before it starts)

// write() is async-signal-safe, so the restore can run from a signal handler.
void writeAll(const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t written = ::write(STDOUT_FILENO, text, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    text += written;
    left -= static_cast<size_t>(written);
  }
}

// The terminal parts of the restore. Only async-signal-safe calls (write,
// tcsetattr, lock-free atomics), so that a signal handler can run it.
void restoreTerminal() {
  if (!consoleHeld.exchange(false)) return;
  if (screenTaken.load()) writeAll(kLeaveScreen);
  if (cursorHidden.exchange(false)) writeAll(kShowCursor);
  if (titleSaved.load()) writeAll(kRestoreTitle);
  if (inputModeSaved.load()) ::tcsetattr(STDIN_FILENO, TCSANOW, &savedInputMode);
}

[[noreturn]] void consoleFailure(const char* text, const char* caption) {
  // The Windows build shows a message box; here the same texts go to
  // standard error, after the terminal is given back: written on the
  // alternate screen they would vanish with it.
  restoreConsole();
  std::fprintf(stderr, "%s: %s\n", caption, text);
  endProcess(1);
}

// Termination and crash signals: the terminal goes back, then the signal
// takes its course (the default action, so the shell sees the signal as
// the cause of the end, and a crash still leaves its core).
void onSignal(int signal) {
  restoreTerminal();
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered once the handler returns (the signal is blocked until then)
}

// The title the viewer asked for; shown once the screen is taken, so that a
// run that never draws writes nothing to the terminal.
std::mutex titleLock;
std::string wantedTitle;  // under titleLock
std::string shownTitle;   // under titleLock

void showTitle() {
  std::lock_guard<std::mutex> lock(titleLock);
  if (wantedTitle.empty() || (titleSaved.load() && wantedTitle == shownTitle)) return;
  if (!titleSaved.exchange(true)) std::fputs(kSaveTitle, stdout);
  std::fprintf(stdout, "\x1b]0;%s\x07", wantedTitle.c_str());
  shownTitle = wantedTitle;
}

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

// Self-pipe that the SIGWINCH handler and wakeScreenWatch poke.
int wakePipe[2] = {-1, -1};
constexpr auto kSafetyPeriod = std::chrono::milliseconds(250);

void poke() {
  if (wakePipe[1] < 0) return;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
}

void onWindowChange(int) {
  const int saved = errno;
  poke();
  errno = saved;
}

// Ctrl+Z: the shell gets its terminal back as it was while the viewer is
// stopped; on continuing, the viewer takes it again and redraws (the size
// watch sees an impossible size and lays out afresh).
void onSuspend(int) {
  const int saved = errno;
  const bool held = consoleHeld.load();
  const bool hidden = cursorHidden.load();
  if (held) {
    if (screenTaken.load()) writeAll(kLeaveScreen);
    if (hidden) writeAll(kShowCursor);
    if (inputModeSaved.load()) ::tcsetattr(STDIN_FILENO, TCSANOW, &savedInputMode);
  }
  struct sigaction stop {};
  stop.sa_handler = SIG_DFL;
  sigemptyset(&stop.sa_mask);
  struct sigaction own {};
  ::sigaction(SIGTSTP, &stop, &own);
  sigset_t suspend;
  sigemptyset(&suspend);
  sigaddset(&suspend, SIGTSTP);
  ::raise(SIGTSTP);
  ::sigprocmask(SIG_UNBLOCK, &suspend, nullptr);  // stops here until SIGCONT
  ::sigaction(SIGTSTP, &own, nullptr);
  if (held && consoleHeld.load()) {
    if (inputModeSaved.load()) ::tcsetattr(STDIN_FILENO, TCSANOW, &rawInputMode);
    if (screenTaken.load()) writeAll(kEnterScreen);
    if (hidden) writeAll(kHideCursor);
    consoleWidth.store(0);
    poke();
  }
  errno = saved;
}

}  // namespace

void initConsole() {
  if (!isOpen(STDIN_FILENO) || !isOpen(STDOUT_FILENO))
    consoleFailure("GetStdHandle", "Console Error");
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) {
    consoleFailure("GetConsoleScreenBufferInfo", "Console Error");
  }
  if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &savedInputMode) == 0) {
    inputModeSaved.store(true);
    termios raw = savedInputMode;
    // Keys arrive one by one without echo; Ctrl+C still raises SIGINT,
    // whose handler puts the terminal back.
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    rawInputMode = raw;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  }
  consoleHeld.store(true);
  consoleWidth.store(size.ws_col);
  consoleHeight.store(size.ws_row);

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGBUS, SIGSEGV, SIGABRT, SIGFPE}) {
    ::sigaction(signal, &action, nullptr);
  }
  if (::pipe(wakePipe) == 0) {
    for (int fd : wakePipe) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction resize {};
    resize.sa_handler = onWindowChange;
    sigemptyset(&resize.sa_mask);
    resize.sa_flags = SA_RESTART;
    ::sigaction(SIGWINCH, &resize, nullptr);
    struct sigaction suspend {};
    suspend.sa_handler = onSuspend;
    sigemptyset(&suspend.sa_mask);
    suspend.sa_flags = SA_RESTART;
    ::sigaction(SIGTSTP, &suspend, nullptr);
  }
  std::atexit(restoreConsole);
  setExitHook(restoreConsole);
  // The screen itself is taken by the first layout, so that the texts of a
  // run that ends before the chart (help, option errors, missing library or
  // data) stay readable in the terminal afterwards.
}

void resetScreen() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) {
    consoleFailure("SetConsoleTextAttribute", "Error getting console screen buffer info.");
  }
  consoleWidth.store(size.ws_col);
  consoleHeight.store(size.ws_row);
  // Through stdio, so the sequences stay in order with the streams' text.
  std::fflush(stdout);
  if (!screenTaken.exchange(true)) std::fputs(kEnterScreen, stdout);
  cursorHidden.store(true);
  std::fputs(kHideCursor, stdout);
  showTitle();
  std::fputs(kHomeAndClear, stdout);
  std::fflush(stdout);
}

void restoreConsole() {
  std::fflush(stdout);
  restoreTerminal();
}

void setConsoleTitle(const char* title) {
  {
    std::lock_guard<std::mutex> lock(titleLock);
    wantedTitle = title;
  }
  if (!screenTaken.load()) return;
  std::fflush(stdout);
  showTitle();
  std::fflush(stdout);
}

void ringBell() {
  // Through stdio, in order with the chart's text.
  std::fflush(stdout);
  std::fputc('\a', stdout);
  std::fflush(stdout);
}

bool readWindowSize(int32_t& width, int32_t& height) {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return false;
  width = size.ws_col;
  height = size.ws_row;
  return true;
}

void waitForScreenEvent(std::chrono::milliseconds period) {
  if (wakePipe[0] < 0) {
    std::this_thread::sleep_for(period);
    return;
  }
  pollfd wake{wakePipe[0], POLLIN, 0};
  if (::poll(&wake, 1, static_cast<int>(kSafetyPeriod.count())) > 0) {
    char drain[64];
    while (::read(wakePipe[0], drain, sizeof drain) > 0) {
    }
  }
}

void wakeScreenWatch() { poke(); }

KeySet readKeys() {
  KeySet down;
  std::string bytes;
  while (!inputClosed.load()) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, 0) <= 0 || (input.revents & (POLLIN | POLLHUP)) == 0) break;
    char buffer[256];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
      if (got < 0 && errno == EINTR) continue;
      inputClosed.store(true);  // end of input: no more keys, and no busy polling
      break;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
  decoder.feed(bytes, down);
  return down;
}

void waitForAnyKey() {
  for (;;) {
    char byte = 0;
    const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    return;
  }
}

}  // namespace tavelund
