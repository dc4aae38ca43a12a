#pragma once
// Narrow text <-> wide text in the system's ANSI code page.
//
// Windows: the needed length is measured with code page 932 (Shift-JIS) and
// the conversion is done with CP_ACP; both agree for ASCII and on a machine
// whose ANSI code page is 932. POSIX: the "ANSI code page" is the character
// set of the current C locale (LC_CTYPE), converted with iconv.
//
// A failure throws std::runtime_error whose text is codepageErrorText(cause).
#include <string>
#include <string_view>

namespace tavelund {

std::wstring narrowToWide(std::string_view narrow);
std::string wideToNarrow(std::wstring_view wide);

// Causes named by the error text, as Win32 names them.
enum class CodepageCause {
  InvalidParameter,
  InsufficientBuffer,
  InvalidFlags,
  NoUnicodeTranslation,
  Unknown,
};

// "in function utf_16_to_shift_jis, WideCharToMultiByte fail. cause: " + the
// cause's name, or "unknown(<systemError>)".
std::string codepageErrorText(CodepageCause cause, long systemError = 0);

}  // namespace tavelund
