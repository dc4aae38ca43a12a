#pragma once
// One word of a Windows command line, quoted as the C runtime's parser reads
// it back: in double quotes, a quote inside and the backslashes before a
// quote (or before the closing one) doubled and escaped. Plain logic, so
// that both the programs and the tests that start others share it.
#include <string>
#include <string_view>

namespace tavelund {

inline std::wstring commandLineWord(std::wstring_view text) {
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (const wchar_t c : text) {
    if (c == L'\\') {
      ++slashes;
    } else if (c == L'"') {
      out.append(slashes * 2 + 1, L'\\');
      slashes = 0;
    } else {
      slashes = 0;
    }
    out += c;
  }
  out.append(slashes, L'\\');
  return out + L"\"";
}

}  // namespace tavelund
