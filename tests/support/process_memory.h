#pragma once
// Test support: this process's memory as the system counts it, a field of
// /proc/self/status in bytes (VmPeak: the most address space ever held,
// reserved room included; VmHWM: the most resident memory). Nothing where
// there is no such file (Windows).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace tavelund::testing {

inline std::optional<size_t> processMemory(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return std::nullopt;
  char line[256];
  std::optional<size_t> bytes;
  const size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
      bytes = static_cast<size_t>(std::strtoull(line + length + 1, nullptr, 10)) * 1024;
      break;
    }
  }
  std::fclose(status);
  return bytes;
}

}  // namespace tavelund::testing
