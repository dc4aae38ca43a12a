#include "common/codepage.h"

namespace tavelund {

std::string codepageErrorText(CodepageCause cause, long systemError) {
  std::string text = "in function utf_16_to_shift_jis, WideCharToMultiByte fail. cause: ";
  switch (cause) {
    case CodepageCause::InvalidParameter:
      return text + "ERROR_INVALID_PARAMETER";
    case CodepageCause::InsufficientBuffer:
      return text + "ERROR_INSUFFICIENT_BUFFER";
    case CodepageCause::InvalidFlags:
      return text + "ERROR_INVALID_FLAGS";
    case CodepageCause::NoUnicodeTranslation:
      return text + "ERROR_NO_UNICODE_TRANSLATION";
    case CodepageCause::Unknown:
      break;
  }
  return text + "unknown(" + std::to_string(systemError) + ")";
}

}  // namespace tavelund
