#include "common/time_span_label.h"

#include <gtest/gtest.h>

namespace tavelund {
namespace {

TEST(TimeSpanLabel, NamesEveryListedCodeAndNothingElse) {
  const struct {
    int code;
    const char* label;
  } listed[] = {{0, "CURRENT"}, {1, "M1"},     {2, "M2"},      {3, "M3"},     {4, "M4"},
                {5, "M5"},      {6, "M6"},     {10, "M10"},    {12, "M12"},   {15, "M15"},
                {30, "M30"},    {16385, "H1"}, {16386, "H2"},  {16387, "H3"}, {16388, "H4"},
                {16390, "H6"},  {16392, "H8"}, {16396, "H12"}, {16408, "D1"}, {32769, "W1"},
                {49153, "MN1"}};
  for (const auto& entry : listed) EXPECT_EQ(timeSpanLabel(entry.code), entry.label) << entry.code;
  for (int code : {20, -1, 7, 16384, 16389, 32768, 49152, 2147483647}) {
    EXPECT_EQ(timeSpanLabel(code), "NODATA") << code;
  }
}

}  // namespace
}  // namespace tavelund
