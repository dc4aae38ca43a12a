#include "common/screen_text.h"

#include <algorithm>
#include <numeric>

namespace tavelund {
namespace {

constexpr char kReplacement = '?';

bool isC0OrDelete(unsigned char byte) { return byte < 0x20 || byte == 0x7f; }

bool isContinuation(unsigned char byte) { return (byte & 0xc0) == 0x80; }

// One character of a text as the console shows it.
struct Shown {
  size_t length = 1;      // bytes of the text it stands for
  size_t columns = 1;     // cells it takes
  bool replaced = false;  // shown as kReplacement instead of its own bytes
};

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

char32_t codePoint(std::string_view character) {
  const auto byte = [&](size_t at) {
    return static_cast<char32_t>(static_cast<unsigned char>(character[at]));
  };
  switch (character.size()) {
    case 1:
      return byte(0);
    case 2:
      return (byte(0) & 0x1f) << 6 | (byte(1) & 0x3f);
    case 3:
      return (byte(0) & 0x0f) << 12 | (byte(1) & 0x3f) << 6 | (byte(2) & 0x3f);
    default:
      return (byte(0) & 0x07) << 18 | (byte(1) & 0x3f) << 12 | (byte(2) & 0x3f) << 6 |
             (byte(3) & 0x3f);
  }
}

// Characters that a terminal may draw two cells wide: the East Asian wide
// and full-width ranges, and the symbol and emoji blocks that terminals
// draw wide in their emoji form. Generous on purpose: counting a narrow
// character as wide cuts a text one cell early, the other way round it
// would wrap.
bool mayTakeTwoCells(char32_t c) {
  struct Range {
    char32_t first, last;
  };
  static constexpr Range kWide[] = {
      {0x1100, 0x115f}, {0x2300, 0x23ff}, {0x25a0, 0x27bf}, {0x2b00, 0x2bff},   {0x2e80, 0x303e},
      {0x3041, 0xa4cf}, {0xa960, 0xa97f}, {0xac00, 0xd7a3}, {0xf900, 0xfaff},   {0xfe10, 0xfe19},
      {0xfe30, 0xfe6f}, {0xff00, 0xff60}, {0xffe0, 0xffe6}, {0x1f000, 0x1faff}, {0x20000, 0x3fffd},
  };
  if (c < kWide[0].first) return false;
  return std::any_of(std::begin(kWide), std::end(kWide),
                     [c](const Range& range) { return c >= range.first && c <= range.last; });
}

// U+0080..U+009F, encoded as C2 80..C2 9F.
bool isC1Control(std::string_view character) {
  return character.size() == 2 && static_cast<unsigned char>(character[0]) == 0xc2 &&
         static_cast<unsigned char>(character[1]) <= 0x9f;
}

Shown nextUtf8(std::string_view text) {
  const size_t length = utf8Length(text);
  if (length == 0) return Shown{1, 1, true};
  const std::string_view character = text.substr(0, length);
  if ((length == 1 && isC0OrDelete(static_cast<unsigned char>(character[0]))) ||
      isC1Control(character)) {
    return Shown{length, 1, true};
  }
  return Shown{length, mayTakeTwoCells(codePoint(character)) ? 2u : 1u, false};
}

// Code page 932: a lead byte and the trail byte after it are one character
// of two cells. On a console of another code page these bytes are two
// characters of one cell each, so the count is the same and the cut merely
// never falls between them.
bool isLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}
bool isTrailByte(unsigned char byte) {
  return (byte >= 0x40 && byte <= 0x7e) || (byte >= 0x80 && byte <= 0xfc);
}

Shown nextCodePage(std::string_view text) {
  const auto first = static_cast<unsigned char>(text[0]);
  if (isC0OrDelete(first)) return Shown{1, 1, true};
  if (isLeadByte(first) && text.size() > 1 && isTrailByte(static_cast<unsigned char>(text[1]))) {
    return Shown{2, 2, false};
  }
  return Shown{};
}

using NextShown = Shown (*)(std::string_view);

#if defined(_WIN32)
constexpr NextShown kConsoleForm = nextCodePage;
#else
constexpr NextShown kConsoleForm = nextUtf8;
#endif

std::string shownWithin(std::string_view text, size_t columns, NextShown next) {
  std::string shown;
  shown.reserve(std::min(text.size(), columns));
  size_t used = 0;
  size_t markAt = 0;  // a start of `shown` that leaves a cell for the mark
  for (size_t at = 0; at < text.size();) {
    const Shown character = next(text.substr(at));
    if (columns - used < character.columns) {
      if (columns == 0) return {};
      shown.resize(markAt);
      shown += kCutMark;
      return shown;
    }
    if (character.replaced) {
      shown += kReplacement;
    } else {
      shown.append(text.substr(at, character.length));
    }
    used += character.columns;
    if (used < columns) markAt = shown.size();
    at += character.length;
  }
  return shown;
}

// The cells `text` takes, counted no further than past `limit`.
size_t columnsUpTo(std::string_view text, size_t limit, NextShown next) {
  size_t used = 0;
  for (size_t at = 0; at < text.size() && used <= limit;) {
    const Shown character = next(text.substr(at));
    used += character.columns;
    at += character.length;
  }
  return used;
}

}  // namespace

std::string screenTextCodePage(std::string_view text) {
  return shownWithin(text, kAnyColumns, nextCodePage);
}

std::string screenTextUtf8(std::string_view text) {
  return shownWithin(text, kAnyColumns, nextUtf8);
}

std::string screenText(std::string_view text) {
  return shownWithin(text, kAnyColumns, kConsoleForm);
}

std::string screenTextWithinCodePage(std::string_view text, size_t columns) {
  return shownWithin(text, columns, nextCodePage);
}

std::string screenTextWithinUtf8(std::string_view text, size_t columns) {
  return shownWithin(text, columns, nextUtf8);
}

std::string screenTextWithin(std::string_view text, size_t columns) {
  return shownWithin(text, columns, kConsoleForm);
}

std::vector<std::string> screenTextsWithin(std::initializer_list<std::string_view> texts,
                                           size_t columns) {
  const std::vector<std::string_view> all(texts);
  std::vector<size_t> needs(all.size());
  std::vector<size_t> order(all.size());
  for (size_t i = 0; i < all.size(); ++i) needs[i] = columnsUpTo(all[i], columns, kConsoleForm);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return needs[a] < needs[b]; });
  // The narrowest first: what a text leaves of its equal share goes to the
  // ones after it.
  std::vector<std::string> shown(all.size());
  size_t left = columns;
  for (size_t n = 0; n < order.size(); ++n) {
    const size_t i = order[n];
    const size_t share = std::min(needs[i], left / (order.size() - n));
    shown[i] = screenTextWithin(all[i], share);
    left -= share;
  }
  return shown;
}

std::string screenLine(std::string_view fixed, std::string_view text, size_t columns) {
  std::string line(fixed);
  line += screenTextWithin(text, columns > fixed.size() ? columns - fixed.size() : 0);
  return line;
}

size_t screenLineRoom(int32_t consoleWidth) {
  const size_t width = consoleWidth > 0 ? static_cast<size_t>(consoleWidth) : 80;
#if defined(_WIN32)
  return width - 1;
#else
  return width;
#endif
}

std::string_view wholeCharactersWithin(std::string_view text, size_t bytes) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t length = kConsoleForm(text.substr(at)).length;
    if (at + length > bytes) break;
    at += length;
  }
  return text.substr(0, at);
}

}  // namespace tavelund
