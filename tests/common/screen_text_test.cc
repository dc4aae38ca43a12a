#include "common/screen_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tavelund {
namespace {

using namespace std::string_literals;

// Texts as a hostile producer sends them: the attacks seen on a terminal.
TEST(ScreenText, EscapeSequencesFromTheLinkLoseTheirControlBytes) {
  for (auto shown : {screenTextUtf8, screenTextCodePage}) {
    // An OSC that retitles the window; a CSI that leaves the alternate screen.
    EXPECT_EQ(shown("\x1b]0;owned\x07SP500"), "?]0;owned?SP500");
    EXPECT_EQ(shown("2024/01/02\x1b[?1049l 03:04"), "2024/01/02?[?1049l 03:04");
    EXPECT_EQ(shown("a\rb\nc\td\x7f" + "e\0f"s), "a?b?c?d?e?f");
    EXPECT_EQ(shown(""), "");
  }
}

TEST(ScreenText, SymbolsTradersUseStayAsTheyAre) {
  for (auto shown : {screenTextUtf8, screenTextCodePage}) {
    for (const char* symbol :
         {"EURUSD", "US500.cash", "BTCUSD#", "XAUUSD.m", "2024/01/02 03:04:05.006",
          "GER40 (D1) ~!@$%^&*()_+{}|:\"<>?`-=[]\\;',./"}) {
      EXPECT_EQ(shown(symbol), symbol);
    }
  }
}

TEST(ScreenText, Utf8KeepsCharactersAndDropsC1AndStrayBytes) {
  EXPECT_EQ(screenTextUtf8("ヘルプ é € 𝄞"), "ヘルプ é € 𝄞");
  // C1 controls: the one-byte CSI 0x9B raw and as the character U+009B.
  EXPECT_EQ(screenTextUtf8("a\x9b"
                           "2Jb"),
            "a?2Jb");
  EXPECT_EQ(screenTextUtf8("a\xc2\x9b"
                           "2Jb"),
            "a?2Jb");
  EXPECT_EQ(screenTextUtf8("\xc2\xa0"), "\xc2\xa0") << "U+00A0 is no control";
  // Not well-formed: overlong ESC, a cut character, a surrogate, beyond U+10FFFF.
  EXPECT_EQ(screenTextUtf8("\xc0\x9b"), "??");
  EXPECT_EQ(screenTextUtf8("\xe0\x80\x9b"), "???");
  EXPECT_EQ(screenTextUtf8("\xf0\x80\x80\x9b"), "????");
  EXPECT_EQ(screenTextUtf8("x\xe3\x83"), "x??");
  EXPECT_EQ(screenTextUtf8("\xed\xa0\x80"), "???");
  EXPECT_EQ(screenTextUtf8("\xf4\x90\x80\x80"), "????");
  // The shortest well-formed three- and four-byte characters, and the last one.
  EXPECT_EQ(screenTextUtf8("\xe0\xa0\x80"), "\xe0\xa0\x80");
  EXPECT_EQ(screenTextUtf8("\xf0\x90\x80\x80"), "\xf0\x90\x80\x80");
  EXPECT_EQ(screenTextUtf8("\xf4\x8f\xbf\xbf"), "\xf4\x8f\xbf\xbf");
}

TEST(ScreenText, CodePageKeepsEveryByteFromTheUpperHalf) {
  // "ヘルプ" in code page 932, and the bytes 0x80..0xFF a code page may use.
  EXPECT_EQ(screenTextCodePage("\x83\x77\x83\x8b\x83\x76"), "\x83\x77\x83\x8b\x83\x76");
  std::string upper;
  for (int byte = 0x80; byte <= 0xff; ++byte) upper += static_cast<char>(byte);
  EXPECT_EQ(screenTextCodePage(upper), upper);
}

// The cut to a line's columns, in both console forms.
TEST(ScreenTextWithin, FitsStayCutsEndInTheMarkBetweenTwoCharacters) {
  using Shown = std::string (*)(std::string_view, size_t);
  const Shown utf8 = screenTextWithinUtf8;
  const Shown codePage = screenTextWithinCodePage;
  const struct {
    const char* what;
    Shown shown;
    std::string text;
    size_t columns;
    std::string expected;
  } cases[] = {
      // Texts that fit stay exactly as screenText shows them.
      {"fits exactly", utf8, "EURUSD", 6, "EURUSD"},
      {"fits with room", codePage, "EURUSD", 100, "EURUSD"},
      {"controls count as their '?'", utf8, "a\x1b[2J", 5, "a?[2J"},
      {"empty", utf8, "", 0, ""},
      {"wide characters that fit", utf8, "ヘルプ", 6, "ヘルプ"},
      {"a 932 pair that fits", codePage, "\x83\x77\x83\x8b\x83\x76", 6, "\x83\x77\x83\x8b\x83\x76"},
      // Longer ones end in the mark, the mark within the columns.
      {"one cell too long", utf8, "EURUSD", 5, "EURU~"},
      {"only the mark has room", codePage, "EURUSD", 1, "~"},
      {"no room at all", utf8, "EURUSD", 0, ""},
      {"a cut after a replaced control", codePage, "a\x1b[2Jb", 5, "a?[2~"},
      // UTF-8: a character is never split, wide ones take two cells.
      {"two-byte characters", utf8, "ééé", 2, "é~"},
      {"a wide character does not fit before the mark", utf8, "ヘルプ", 4, "ヘ~"},
      {"one cell short of a wide character", utf8, "ヘルプ", 5, "ヘル~"},
      {"a wide first character and one cell", utf8, "ヘルプ", 2, "~"},
      {"emoji are wide", utf8, "\xf0\x9f\x98\x80x", 2, "~"},
      {"four-byte narrow character", utf8,
       "\xf0\x9d\x84\x9e"
       "ab",
       2, "\xf0\x9d\x84\x9e~"},
      {"stray bytes are one '?' each", utf8, "x\xe3\x83yz", 4, "x??~"},
      // Code page 932: a lead byte stays with its trail byte.
      {"a pair cut before it", codePage, "\x83\x77\x83\x8b\x83\x76", 5, "\x83\x77\x83\x8b~"},
      {"a pair split by the limit", codePage, "\x83\x77\x83\x8b\x83\x76", 4, "\x83\x77~"},
      {"a pair whose trail byte is '~'", codePage, "a\x83~b", 3, "a~"},
      {"half-width katakana take one cell", codePage, "\xb1\xb2\xb3", 2, "\xb1~"},
      {"a lead byte without its trail", codePage,
       "\x83\x1b"
       "ab",
       3, "\x83?~"},
  };
  for (const auto& one : cases) {
    EXPECT_EQ(one.shown(one.text, one.columns), one.expected) << one.what;
  }
  // A text of any length costs only its cut.
  EXPECT_EQ(screenTextWithin(std::string(16 << 20, ':'), 3), "::~");
}

TEST(ScreenTextWithin, IsScreenTextWhereverTheTextFits) {
  for (const std::string& text :
       {"\x1b]0;owned\x07SP500"s, "ヘルプ é € 𝄞"s, "\x83\x77\x83\x8b\x83\x76"s,
        "a\x9b"
        "2Jb"s}) {
    EXPECT_EQ(screenTextWithinUtf8(text, 64), screenTextUtf8(text));
    EXPECT_EQ(screenTextWithinCodePage(text, 64), screenTextCodePage(text));
    EXPECT_EQ(screenTextWithin(text, kAnyColumns), screenText(text));
  }
}

TEST(ScreenTextWithin, TextsOnOneLineShareItsColumns) {
  const std::string sendTime = "2024/01/02 03:04:05.006";  // 23 cells
  const std::string symbol(1023, 'S');
  const struct {
    std::vector<std::string> texts;
    size_t columns;
    std::vector<std::string> expected;
  } cases[] = {
      {{sendTime, "EURUSD"}, 100, {sendTime, "EURUSD"}},
      {{sendTime, symbol}, 100, {sendTime, std::string(76, 'S') + "~"}},
      {{symbol, sendTime}, 100, {std::string(76, 'S') + "~", sendTime}},
      {{symbol, symbol}, 101, {std::string(49, 'S') + "~", std::string(50, 'S') + "~"}},
      {{sendTime, symbol}, 0, {"", ""}},
      {{"", symbol}, 10, {"", std::string(9, 'S') + "~"}},
  };
  for (const auto& one : cases) {
    const std::vector<std::string> shown =
        screenTextsWithin({one.texts[0], one.texts[1]}, one.columns);
    EXPECT_EQ(shown, one.expected) << one.columns;
  }
  EXPECT_EQ(screenLine("    Saved : ", "/tmp/CSV/EURUSD.csv", 20), "    Saved : /tmp/CS~");
  EXPECT_EQ(screenLine("long label", "text", 4), "long label");
}

TEST(ScreenTextWithin, LineRoomAndWholeCharacters) {
#if defined(_WIN32)
  EXPECT_EQ(screenLineRoom(120), 119u) << "the last cell would move the cursor to the next row";
  EXPECT_EQ(wholeCharactersWithin("a\x83\x77", 2), "a");
  EXPECT_EQ(wholeCharactersWithin("a\x83\x77", 3), "a\x83\x77");
#else
  EXPECT_EQ(screenLineRoom(120), 120u);
  EXPECT_EQ(wholeCharactersWithin("aé", 2), "a");
  EXPECT_EQ(wholeCharactersWithin("aé", 3), "aé");
#endif
  EXPECT_EQ(screenLineRoom(0), screenLineRoom(80)) << "a width not known yet";
  EXPECT_EQ(wholeCharactersWithin("abc", 0), "");
  EXPECT_EQ(wholeCharactersWithin("abc", 10), "abc");
}

TEST(ScreenText, TheBuildPicksItsConsoleForm) {
#if defined(_WIN32)
  EXPECT_EQ(screenText("\x83\x77\x1b"), "\x83\x77?");
#else
  EXPECT_EQ(screenText("\x83\x77\x1b"), "?w?");
#endif
}

}  // namespace
}  // namespace tavelund
