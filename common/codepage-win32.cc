#include "common/codepage.h"

#include <stdexcept>
#include <windows.h>

namespace tavelund {
namespace {

constexpr UINT kShiftJis = 932;

[[noreturn]] void throwLastError() {
  const DWORD error = GetLastError();
  CodepageCause cause = CodepageCause::Unknown;
  switch (error) {
    case ERROR_INVALID_PARAMETER:
      cause = CodepageCause::InvalidParameter;
      break;
    case ERROR_INSUFFICIENT_BUFFER:
      cause = CodepageCause::InsufficientBuffer;
      break;
    case ERROR_INVALID_FLAGS:
      cause = CodepageCause::InvalidFlags;
      break;
    case ERROR_NO_UNICODE_TRANSLATION:
      cause = CodepageCause::NoUnicodeTranslation;
      break;
    default:
      break;
  }
  throw std::runtime_error(codepageErrorText(cause, static_cast<long>(error)));
}

}  // namespace

std::wstring narrowToWide(std::string_view narrow) {
  if (narrow.empty()) return {};
  const int length = static_cast<int>(narrow.size());
  const int needed = MultiByteToWideChar(kShiftJis, 0, narrow.data(), length, nullptr, 0);
  if (needed <= 0) throwLastError();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  const int written = MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, wide.data(), needed);
  if (written <= 0) throwLastError();
  wide.resize(static_cast<size_t>(written));
  return wide;
}

std::string wideToNarrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int needed =
      WideCharToMultiByte(kShiftJis, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) throwLastError();
  std::string narrow(static_cast<size_t>(needed), '\0');
  const int written =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), length, narrow.data(), needed, nullptr, nullptr);
  if (written <= 0) throwLastError();
  narrow.resize(static_cast<size_t>(written));
  return narrow;
}

}  // namespace tavelund
