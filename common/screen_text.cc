#include "common/screen_text.h"

namespace tavelund {
namespace {

constexpr char kReplacement = '?';

bool isC0OrDelete(unsigned char byte) { return byte < 0x20 || byte == 0x7f; }

bool isContinuation(unsigned char byte) { return (byte & 0xc0) == 0x80; }

// Length of the well-formed UTF-8 character at the start of `text`, or 0
// when its first byte starts none (overlong forms, surrogates and values
// above U+10FFFF are not well-formed).
size_t utf8Length(std::string_view text) {
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xbf;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t at = 2; at < length; ++at) {
    if (!isContinuation(byte(at))) return 0;
  }
  return length;
}

// U+0080..U+009F, encoded as C2 80..C2 9F.
bool isC1Control(std::string_view character) {
  return character.size() == 2 && static_cast<unsigned char>(character[0]) == 0xc2 &&
         static_cast<unsigned char>(character[1]) <= 0x9f;
}

}  // namespace

std::string screenTextCodePage(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    if (isC0OrDelete(static_cast<unsigned char>(c))) c = kReplacement;
  }
  return shown;
}

std::string screenTextUtf8(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    const size_t length = utf8Length(text.substr(at));
    if (length == 0) {
      shown += kReplacement;
      ++at;
      continue;
    }
    const std::string_view character = text.substr(at, length);
    if ((length == 1 && isC0OrDelete(static_cast<unsigned char>(character[0]))) ||
        isC1Control(character)) {
      shown += kReplacement;
    } else {
      shown += character;
    }
    at += length;
  }
  return shown;
}

std::string screenText(std::string_view text) {
#if defined(_WIN32)
  return screenTextCodePage(text);
#else
  return screenTextUtf8(text);
#endif
}

}  // namespace tavelund
