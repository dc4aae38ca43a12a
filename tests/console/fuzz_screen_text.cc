// Texts that come over the link, as the viewer shows them: the symbol and
// the send time in the header, point texts in the last line, log entries.
// Whatever the bytes, what reaches the console holds no control character
// but the line ends the viewer writes itself, and the UTF-8 form is
// well-formed UTF-8 without C1 controls.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "common/run_log.h"
#include "common/screen_text.h"
#include "console/screens.h"
#include "engine/last_line.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

bool isControl(unsigned char byte) { return byte < 0x20 || byte == 0x7f; }

void requireNoControls(std::string_view text, std::string_view allowed = {}) {
  for (char c : text) {
    require(!isControl(static_cast<unsigned char>(c)) || allowed.find(c) != std::string_view::npos);
  }
}

// Well-formed UTF-8 without C1 controls (U+0080..U+009F).
void requireSafeUtf8(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xc2 && lead <= 0xdf ? 2
                    : lead >= 0xe0 && lead <= 0xef ? 3
                    : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                   : 0;
    require(length > 0 && at + length <= text.size());
    for (size_t i = 1; i < length; ++i) {
      require((static_cast<unsigned char>(text[at + i]) & 0xc0) == 0x80);
    }
    require(!(lead == 0xc2 && static_cast<unsigned char>(text[at + 1]) <= 0x9f));
    at += length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Symbol, send time and a published line: the input cut in three.
  const std::string symbol(bytes.substr(0, size / 3));
  const std::string sendTime(bytes.substr(size / 3, size / 3));
  const std::string line(bytes.substr(2 * (size / 3)));

  const std::string utf8 = tavelund::screenTextUtf8(bytes);
  requireNoControls(utf8);
  requireSafeUtf8(utf8);
  const std::string codePage = tavelund::screenTextCodePage(bytes);
  requireNoControls(codePage);
  require(codePage.size() == bytes.size());

  // Cut to a line's columns: what fits is the whole safe text; a cut is a
  // start of it that ends in the mark, whole characters only, and no wider
  // than the columns (each character takes at least one cell).
  const size_t columns = size % 97;
  const auto requireCutOf = [&](const std::string& cut, const std::string& whole) {
    if (cut == whole) return;
    require(!cut.empty() || columns == 0);
    if (cut.empty()) return;
    require(cut.back() == tavelund::kCutMark);
    require(whole.compare(0, cut.size() - 1, cut, 0, cut.size() - 1) == 0);
  };
  const std::string utf8Cut = tavelund::screenTextWithinUtf8(bytes, columns);
  requireCutOf(utf8Cut, utf8);
  requireSafeUtf8(utf8Cut);
  const std::string codePageCut = tavelund::screenTextWithinCodePage(bytes, columns);
  requireCutOf(codePageCut, codePage);
  require(codePageCut.size() <= columns);
  const std::string header = tavelund::headerLine(sendTime, {symbol, "D1"}, 120);
  requireNoControls(header);
  require(header.size() <= 4 * 120);
  requireNoControls(tavelund::lastLineText(line, 1.5, sendTime, 2.5, 5));
  tavelund::RunLog log = {{sendTime, "SYMBOL      : " + symbol}, {"", line}};
  std::ostringstream screen;
  tavelund::writeLogScreen(screen, log);
  requireNoControls(screen.str(), "\n");
  return 0;
}
