#pragma once
// A real terminal for end-to-end tests: a tmux server on a private socket
// with one 120 x 50 pane, driven by keys and read by screen captures.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>

#include "tests/support/file_text.h"
#include "tests/support/wait.h"

namespace tavelund::testing {

inline std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

inline std::string commandOutput(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    ::pclose(pipe);
  }
  return output;
}

// Polls `condition` every 20 ms until it holds or `limit` has passed.
inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  return waitFor(condition, limit, std::chrono::milliseconds(20));
}

class TerminalSession {
 public:
  // Starts `command` (a shell command line) in a fresh pane.
  TerminalSession(const std::string& command, int width = 120, int height = 50)
      : socket_("tavelund-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++)) {
    tmux("new-session -d -x " + std::to_string(width) + " -y " + std::to_string(height) + " " +
         shellQuote(command));
  }
  ~TerminalSession() { tmux("kill-server"); }
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  std::string screen() const { return commandOutput(base() + " capture-pane -p -J 2>/dev/null"); }
  // Named keys as tmux knows them ("End", "NPage", "q").
  void sendKeys(const std::string& keys) const { tmux("send-keys " + keys); }
  // A key that arrives while the viewer still runs a command is overwritten
  // when the command ends (a held key would simply be seen again), so keys
  // are pressed once the screen has stopped changing.
  void pressWhenStill(const std::string& keys) const {
    waitStill();
    sendKeys(keys);
  }
  void waitStill() const {
    std::string previous = screen();
    waitUntil(
        [&] {
          std::this_thread::sleep_for(std::chrono::milliseconds(150));
          std::string current = screen();
          const bool still = current == previous;
          previous = std::move(current);
          return still;
        },
        std::chrono::milliseconds(10000));
  }
  void resize(int width, int height) const {
    tmux("resize-window -x " + std::to_string(width) + " -y " + std::to_string(height));
  }
  bool showsWithin(const std::string& text, std::chrono::milliseconds limit) const {
    return waitUntil([&] { return screen().find(text) != std::string::npos; }, limit);
  }
  // A tmux format of the pane: "#{alternate_on}" is 1 while the alternate
  // screen is shown, "#{cursor_flag}" 1 while the cursor shows,
  // "#{pane_title}" the title the program set.
  std::string paneFormat(const std::string& format) const {
    std::string value =
        commandOutput(base() + " display-message -p " + shellQuote(format) + " 2>/dev/null");
    while (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }
  // The line of the screen that starts with `prefix` (empty when none).
  std::string lineStartingWith(const std::string& prefix) const {
    std::istringstream lines(screen());
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(prefix, 0) == 0) return line;
    }
    return {};
  }

 private:
  static int& counter() {
    static int value = 0;
    return value;
  }
  std::string base() const { return "tmux -L " + socket_ + " -f /dev/null"; }
  void tmux(const std::string& arguments) const {
    [[maybe_unused]] int rc = std::system((base() + " " + arguments + " >/dev/null 2>&1").c_str());
  }
  std::string socket_;
};

}  // namespace tavelund::testing
