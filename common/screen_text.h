#pragma once
// Text from outside the viewer (the symbol, the send time, published lines)
// made safe to show on the console: every control character becomes '?',
// so bytes that come over the link can neither move the cursor, retitle
// the window nor take the chart off its screen. Everything else stays as
// it is. Files keep the bytes as they came; only what is shown is changed.
#include <string>
#include <string_view>

namespace tavelund {

// The form of the console this build draws on: code-page bytes on Windows,
// UTF-8 on an ANSI terminal elsewhere.
std::string screenText(std::string_view text);

// A code-page console (Windows): C0 controls and DEL become '?'. Bytes from
// 0x80 up are characters of the code page (lead and trail bytes of code
// page 932 among them) and stay.
std::string screenTextCodePage(std::string_view text);

// A UTF-8 terminal: C0 controls, DEL and the C1 controls U+0080..U+009F
// become '?', and so does every byte that is not part of a well-formed
// UTF-8 character (a terminal may read a stray byte 0x9B as the start of a
// control sequence).
std::string screenTextUtf8(std::string_view text);

}  // namespace tavelund
