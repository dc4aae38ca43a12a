#pragma once
// How the intake reaches the console: its output stream for the progress
// texts and its screen clear.
#include <functional>
#include <ostream>

namespace tavelund {

struct ConsolePort {
  std::ostream* out = nullptr;        // the console passes &std::cout
  std::function<void()> clearScreen;  // the console passes resetScreen
};

}  // namespace tavelund
