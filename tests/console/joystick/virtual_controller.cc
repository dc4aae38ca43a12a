#include "tests/console/joystick/virtual_controller.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>

namespace tavelund::joytest {

VirtualController::~VirtualController() {
  if (handle_ != nullptr) SDL_JoystickClose(handle_);
  if (index_ >= 0 && !detached_) SDL_JoystickDetachVirtual(index_);
  if (initialised_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

VirtualController::Result VirtualController::attach() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_JOYSTICK) != 0) return Result::sdlFailed;
  initialised_ = true;
  if (SDL_NumJoysticks() != 0) return Result::realControllerPresent;
  index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 5, 0);
  if (index_ < 0) return Result::attachFailed;
  handle_ = SDL_JoystickOpen(index_);
  return handle_ != nullptr ? Result::ready : Result::attachFailed;
}

void VirtualController::setStick(int x, int y) {
  SDL_JoystickSetVirtualAxis(handle_, 0, static_cast<Sint16>(x));
  SDL_JoystickSetVirtualAxis(handle_, 1, static_cast<Sint16>(y));
}

void VirtualController::setButtons(std::initializer_list<int> pressed) {
  for (int i = 0; i < 5; ++i) SDL_JoystickSetVirtualButton(handle_, i, 0);
  for (int button : pressed) SDL_JoystickSetVirtualButton(handle_, button - 1, 1);
}

void VirtualController::detach() {
  SDL_JoystickDetachVirtual(index_);
  detached_ = true;
}

const char* describe(VirtualController::Result result) {
  switch (result) {
    case VirtualController::Result::ready:
      return "ready";
    case VirtualController::Result::sdlFailed:
      return "SDL_Init failed";
    case VirtualController::Result::realControllerPresent:
      return "a real controller is attached";
    case VirtualController::Result::attachFailed:
      return "virtual controller refused";
  }
  return "?";
}

bool realControllerPresent() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_JOYSTICK) != 0) return false;
  const bool present = SDL_NumJoysticks() != 0;
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  return present;
}

namespace {

// Reads `outputFd` to its end and reaps `pid`, both within `limit`; a child
// still running then is killed.
ChildEnd collect(pid_t pid, int outputFd, std::chrono::seconds limit) {
  ChildEnd end;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buffer[4096];
  for (bool open = true; open && std::chrono::steady_clock::now() < deadline;) {
    pollfd ready{outputFd, POLLIN, 0};
    if (::poll(&ready, 1, 50) <= 0) continue;
    const ssize_t got = ::read(outputFd, buffer, sizeof buffer);
    if (got > 0) {
      end.output.append(buffer, static_cast<std::size_t>(got));
    } else {
      open = false;  // end of the pipe; EIO once a terminal's last user left
    }
  }
  int status = 0;
  while (true) {
    const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
    if (reaped == pid) {
      end.exited = WIFEXITED(status);
      end.exitCode = end.exited ? WEXITSTATUS(status) : -1;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return end;
}

}  // namespace

ChildEnd runInChild(void (*body)(), std::chrono::seconds limit) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {};
  std::cout.flush();
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return {};
  if (pid == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    body();
    std::_Exit(120);
  }
  ::close(pipeFds[1]);
  ChildEnd end = collect(pid, pipeFds[0], limit);
  ::close(pipeFds[0]);
  return end;
}

ChildEnd runInTerminal(void (*body)(), std::chrono::seconds limit, unsigned* finalMode) {
  std::cout.flush();
  std::fflush(nullptr);
  winsize size{};
  size.ws_col = 80;
  size.ws_row = 24;
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
  if (pid < 0) return {};
  if (pid == 0) {
    body();
    std::_Exit(120);
  }
  ChildEnd end = collect(pid, master, limit);
  termios mode{};
  if (::tcgetattr(master, &mode) == 0) *finalMode = mode.c_lflag;
  ::close(master);
  return end;
}

}  // namespace tavelund::joytest
