#include <gtest/gtest.h>

#include "common/split.h"

namespace tavelund {
namespace {

using Pieces = std::vector<std::string>;

TEST(SplitText, TheTextAfterTheLastDelimiterIsAPiece) {
  EXPECT_EQ(splitText("a\nb\n", "\n"), (Pieces{"a", "b", ""}));
  EXPECT_EQ(splitText("a\nb", "\n"), (Pieces{"a", "b"}));
  EXPECT_EQ(splitText("", "\n"), (Pieces{""}));
  EXPECT_EQ(splitText("\n\n", "\n"), (Pieces{"", "", ""}));
}

TEST(SplitText, MultiCharacterDelimiter) {
  EXPECT_EQ(splitText("2024/03/05 10:15:00.000,1", ":00.000"), (Pieces{"2024/03/05 10:15", ",1"}));
  EXPECT_EQ(splitText("x:00.000:00.000", ":00.000"), (Pieces{"x", "", ""}));
}

}  // namespace
}  // namespace tavelund
