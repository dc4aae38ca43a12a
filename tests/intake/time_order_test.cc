// Whether a batch stands oldest first: the rule over a timeline text (what
// tickwell-peek reports) and over the records a conversion made of its
// batch (what the viewer logs), which must agree.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "intake/time_order.h"

namespace tavelund {
namespace {

std::string line(int day, int minute) {
  char text[96];
  std::snprintf(text, sizeof text, "2024/03/%02d 09:%02d:00.000,1.00000,1.00000,1.00000,1.00000\n",
                day, minute);
  return text;
}

// Line `number` (from 1) of `text`, without its line end.
std::string nthLine(const std::string& text, std::size_t number) {
  std::size_t start = 0;
  for (std::size_t i = 1; i < number; ++i) start = text.find('\n', start) + 1;
  return text.substr(start, text.find('\n', start) - start);
}

TEST(TimeOrder, TheFirstLineThatGoesBackInTimeIsFoundInTheTextAndInTheRecords) {
  struct Case {
    const char* what;
    std::string text;
    std::optional<std::size_t> backLine;  // counted from 1
    std::string entry;                    // the run log's, empty for none
  };
  const Case cases[] = {
      {"oldest first", line(1, 0) + line(1, 1) + line(2, 0), std::nullopt, ""},
      {"one minute twice", line(1, 0) + line(1, 0) + line(1, 1), std::nullopt, ""},
      {"newest first", line(3, 0) + line(2, 0) + line(1, 0), 2,
       "TIME ORDER  : the batch is not oldest first: 2024/03/02 09:00 follows 2024/03/03 09:00"},
      {"one step back late in the batch", line(1, 0) + line(1, 2) + line(1, 3) + line(1, 1), 4,
       "TIME ORDER  : the batch is not oldest first: 2024/03/01 09:01 follows 2024/03/01 09:03"},
      {"lines that are no price lines are passed over",
       line(1, 2) + "garbage\n" + "\n" + line(1, 1), 4,
       "TIME ORDER  : the batch is not oldest first: 2024/03/01 09:01 follows 2024/03/01 09:02"},
      {"a long minute text is cut in the entry",
       line(1, 0) + std::string(30, '0') + "2025/03/01 09:00:00.000,1,1,1,1\n" + line(1, 0), 3,
       "TIME ORDER  : the batch is not oldest first: 2024/03/01 09:00 follows " +
           std::string(24, '0') + "..."},
      {"empty", "", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto back = firstLineBackInTime(c.text);
    ASSERT_EQ(back.has_value(), c.backLine.has_value());
    if (back) {
      EXPECT_EQ(back->number, *c.backLine);
      EXPECT_EQ(back->line, nthLine(c.text, *c.backLine));
    }
    TickIntake intake;
    convertTimeline(intake, c.text, false, ConsolePort{});
    EXPECT_EQ(batchTimeOrderEntry(intake).value_or(""), c.entry);
  }
}

// After the first batch the viewer converts only the newest record's line
// and those after it: the entry tells of what that conversion made.
TEST(TimeOrder, AnUpdateIsJudgedByTheRecordsItMade) {
  TickIntake intake;
  convertTimeline(intake, line(1, 0) + line(1, 1), false, ConsolePort{});
  EXPECT_EQ(batchTimeOrderEntry(intake), std::nullopt);
  convertTimeline(intake, line(1, 0) + line(1, 1) + line(1, 3) + line(1, 2), false,
                  ConsolePort{});
  EXPECT_EQ(
      batchTimeOrderEntry(intake).value_or(""),
      "TIME ORDER  : the batch is not oldest first: 2024/03/01 09:02 follows 2024/03/01 09:03");
  convertTimeline(intake, line(1, 0) + line(1, 1) + line(1, 3) + line(1, 4), false,
                  ConsolePort{});
  EXPECT_EQ(batchTimeOrderEntry(intake), std::nullopt);
}

}  // namespace
}  // namespace tavelund
