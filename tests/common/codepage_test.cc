#include <gtest/gtest.h>

#include <clocale>
#include <stdexcept>

#include "common/codepage.h"

namespace tavelund {
namespace {

TEST(Codepage, AsciiRoundTrips) {
  EXPECT_EQ(narrowToWide("TRUE"), L"TRUE");
  EXPECT_EQ(wideToNarrow(L"C:\\x\\tickwell.dll"), "C:\\x\\tickwell.dll");
  EXPECT_EQ(narrowToWide(""), L"");
}

TEST(Codepage, ErrorTextsNameTheCause) {
  const std::string head = "in function utf_16_to_shift_jis, WideCharToMultiByte fail. cause: ";
  EXPECT_EQ(codepageErrorText(CodepageCause::InvalidParameter), head + "ERROR_INVALID_PARAMETER");
  EXPECT_EQ(codepageErrorText(CodepageCause::InsufficientBuffer),
            head + "ERROR_INSUFFICIENT_BUFFER");
  EXPECT_EQ(codepageErrorText(CodepageCause::InvalidFlags), head + "ERROR_INVALID_FLAGS");
  EXPECT_EQ(codepageErrorText(CodepageCause::NoUnicodeTranslation),
            head + "ERROR_NO_UNICODE_TRANSLATION");
  EXPECT_EQ(codepageErrorText(CodepageCause::Unknown, 1234), head + "unknown(1234)");
}

#ifndef _WIN32
TEST(Codepage, UntranslatableBytesRaiseTheErrorText) {
  // In the C locale the character set is ASCII: a byte above 127 has no
  // wide counterpart.
  std::setlocale(LC_CTYPE, "C");
  try {
    narrowToWide("\xff");
    FAIL() << "no error raised";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), codepageErrorText(CodepageCause::NoUnicodeTranslation));
  }
}

TEST(Codepage, Utf8LocaleConvertsJapanese) {
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  EXPECT_EQ(narrowToWide("\xe8\xb5\xb7"), L"\u8d77");
  EXPECT_EQ(wideToNarrow(L"\u8d77"), "\xe8\xb5\xb7");
  std::setlocale(LC_CTYPE, "C");
}
#endif

}  // namespace
}  // namespace tavelund
