#include "tests/joystick/virtual_controller.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
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
    case VirtualController::Result::ready: return "ready";
    case VirtualController::Result::sdlFailed: return "SDL_Init failed";
    case VirtualController::Result::realControllerPresent: return "a real controller is attached";
    case VirtualController::Result::attachFailed: return "virtual controller refused";
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

ChildEnd runInChild(void (*body)(), std::chrono::seconds limit) {
  ChildEnd end;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return end;
  std::cout.flush();
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return end;
  if (pid == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    body();
    std::_Exit(120);
  }
  ::close(pipeFds[1]);
  const int outputFd = pipeFds[0];
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buffer[512];
  for (bool open = true; open && std::chrono::steady_clock::now() < deadline;) {
    pollfd ready{outputFd, POLLIN, 0};
    if (::poll(&ready, 1, 50) <= 0) continue;
    const ssize_t got = ::read(outputFd, buffer, sizeof buffer);
    if (got > 0) {
      end.output.append(buffer, static_cast<std::size_t>(got));
    } else {
      open = false;
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
  ::close(outputFd);
  return end;
}

}  // namespace tavelund::joytest
