#include "console/process_end.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <thread>

namespace tavelund {
namespace {
std::atomic<void (*)()> exitHook{nullptr};
std::atomic<const char*> allocationFailureMessage{nullptr};

void flushStreams() {
  std::cout.flush();
  std::wcout.flush();
  std::cerr.flush();
  std::wcerr.flush();
  std::fflush(nullptr);
}

// The new-handler: nothing here may ask for memory. A second thread that
// runs short meanwhile waits for the first one's end.
void endForWantOfMemory() {
  static std::atomic<bool> ending{false};
  if (ending.exchange(true))
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  flushStreams();
  if (auto hook = exitHook.exchange(nullptr)) hook();
  if (const char* message = allocationFailureMessage.load()) {
    std::fputs(message, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
  }
  std::_Exit(1);
}

}  // namespace

void setExitHook(void (*hook)()) { exitHook.store(hook); }

void endProcess(int exitCode) {
  flushStreams();
  if (auto hook = exitHook.exchange(nullptr)) hook();
  std::_Exit(exitCode);
}

void endOnAllocationFailure(const char* message) {
  allocationFailureMessage.store(message);
  std::set_new_handler(endForWantOfMemory);
}

}  // namespace tavelund
