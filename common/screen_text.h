#pragma once
// Text from outside the viewer (the symbol, the send time, published lines)
// made safe to show on the console: every control character becomes '?',
// so bytes that come over the link can neither move the cursor, retitle
// the window nor take the chart off its screen. Everything else stays as
// it is. Files keep the bytes as they came; only what is shown is changed.
//
// Such a text may also be of any length the link carries, so a screen line
// cuts it to the columns the line has left for it (screenTextWithin): a
// line never wraps because of a text from outside.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

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

// Ends a text that was cut to fit its line.
inline constexpr char kCutMark = '~';

// No limit: for writers whose lines go to no console (files, pictures).
inline constexpr size_t kAnyColumns = std::numeric_limits<size_t>::max();

// `text` as screenText shows it, in at most `columns` console cells. A text
// that fits is exactly what screenText makes of it; a longer one is cut
// between two characters and ends in kCutMark, the mark within `columns`
// too. Only what is shown is looked at, so a text of 100 MiB costs no more
// than its first line's worth. Cells are counted as a terminal may draw
// them: a character of the wide East Asian and emoji ranges (or a code
// page 932 pair of bytes) takes two, every other one takes one; where a
// terminal draws a character narrower than counted, the cut comes a little
// early, never too late.
std::string screenTextWithin(std::string_view text, size_t columns);
std::string screenTextWithinCodePage(std::string_view text, size_t columns);
std::string screenTextWithinUtf8(std::string_view text, size_t columns);

// Several texts from outside on one line, sharing `columns`: each is cut
// with screenTextWithin to its share. A text shorter than an equal share
// keeps all of it and leaves the rest to the others, so a normal send time
// stays whole beside a symbol of a thousand bytes.
std::vector<std::string> screenTextsWithin(std::initializer_list<std::string_view> texts,
                                           size_t columns);

// `fixed` as it is (the system's own text), then `text` cut to the columns
// left after it: the common line of a label and one outside text.
std::string screenLine(std::string_view fixed, std::string_view text, size_t columns);

// The columns a console `consoleWidth` cells wide lets a line take without
// wrapping. A width of 0 or less (not known yet) counts as 80. A Windows
// console moves to the next row as soon as the last cell is written, so a
// line there keeps the last cell free; a terminal waits for the next
// character, so a line may fill its row.
size_t screenLineRoom(int32_t consoleWidth);

// The longest start of `text` of at most `bytes` bytes that ends between two
// characters of the console's form (a code page 932 lead byte stays with
// its trail byte, a UTF-8 sequence stays whole).
std::string_view wholeCharactersWithin(std::string_view text, size_t bytes);

}  // namespace tavelund
