#include <gtest/gtest.h>

#include <regex>

#include "common/local_time.h"

namespace tavelund {
namespace {

TEST(LocalTimeText, PadsEveryField) {
  EXPECT_EQ(localTimeText(LocalTime{2024, 3, 5, 9, 7, 3, 45}), "2024/03/05 09:07:03.045");
  EXPECT_EQ(compactTimeStamp(LocalTime{2024, 3, 5, 9, 7, 3, 45}), "20240305090703");
}

TEST(LocalTimeText, TheClockGivesTheSameShape) {
  const std::string now = localTimeText();
  EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3})"))) << now;
}

}  // namespace
}  // namespace tavelund
