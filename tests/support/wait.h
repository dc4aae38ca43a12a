#pragma once
// Test support: polling a condition until it holds or a deadline passes.
// Tests wait for what they expect, never for a fixed time, so that they pass
// on a loaded machine and finish early on a quiet one.
#include <chrono>
#include <functional>
#include <thread>

namespace tavelund::testing {

inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                    std::chrono::milliseconds period = std::chrono::milliseconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(period);
  }
}

}  // namespace tavelund::testing
