#include "console/process_end.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace tavelund {
namespace {
std::atomic<void (*)()> exitHook{nullptr};
}

void setExitHook(void (*hook)()) { exitHook.store(hook); }

void endProcess(int exitCode) {
  std::cout.flush();
  std::wcout.flush();
  std::cerr.flush();
  std::wcerr.flush();
  std::fflush(nullptr);
  if (auto hook = exitHook.exchange(nullptr)) hook();
  std::_Exit(exitCode);
}

}  // namespace tavelund
