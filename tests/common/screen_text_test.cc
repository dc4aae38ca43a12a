#include "common/screen_text.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(ScreenText, TheBuildPicksItsConsoleForm) {
#if defined(_WIN32)
  EXPECT_EQ(screenText("\x83\x77\x1b"), "\x83\x77?");
#else
  EXPECT_EQ(screenText("\x83\x77\x1b"), "?w?");
#endif
}

}  // namespace
}  // namespace tavelund
