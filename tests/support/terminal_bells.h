#pragma once
// Test support: the bells in the raw bytes a program wrote to its terminal.
// BEL also ends an operating-system command (the window title's ESC ] 0 ;
// ... BEL); those are no bell and are not counted.
#include <cstddef>
#include <string_view>

namespace tavelund::testing {

inline size_t bellsIn(std::string_view raw) {
  size_t bells = 0;
  bool inCommand = false;  // within ESC ] ... up to BEL or ESC backslash
  for (size_t i = 0; i < raw.size(); ++i) {
    const char byte = raw[i];
    if (inCommand) {
      if (byte == '\a' || (byte == '\x1b' && i + 1 < raw.size() && raw[i + 1] == '\\'))
        inCommand = false;
      continue;
    }
    if (byte == '\x1b' && i + 1 < raw.size() && raw[i + 1] == ']') {
      inCommand = true;
      ++i;
    } else if (byte == '\a') {
      ++bells;
    }
  }
  return bells;
}

}  // namespace tavelund::testing
