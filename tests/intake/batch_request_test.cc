// The send-flag hand-shake's limits, against a fake MT5 side, with limits
// short enough that no case sleeps through the viewer's real ones.
#include "intake/batch_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/progress_text.h"

namespace tavelund {
namespace {

using std::chrono::milliseconds;

// The fake MT5 side: the flag reads 1 from the look `answerAt` on (never
// when negative); Q is pressed during the look `abandonAt`.
struct FakeFlag {
  static inline int looks = 0;
  static inline int answerAt = -1;
  static inline int abandonAt = -1;
  static inline std::vector<int> written;
  static inline std::atomic<bool> abandon{false};

  static int setSendCheck(int* value) {
    written.push_back(*value);
    return 1;
  }
  static int getSendCheck() {
    const int look = looks++;
    if (look == abandonAt) abandon.store(true);
    return answerAt >= 0 && look >= answerAt ? 1 : 0;
  }
};

constexpr int kNever = -1;
constexpr auto kBefore = ProgressShown::BeforeEveryLook;
constexpr auto kWhile = ProgressShown::WhileWaiting;
constexpr milliseconds kLong{10000};  // a limit no answered case comes near

struct Case {
  const char* name;
  bool ask;
  int answerAt, abandonAt;
  milliseconds wait, interval;
  ProgressShown shown;
  BatchAnswer answer;
  int looks;  // looks at the flag; kNever: as many as the wait allows
  int texts;  // progress texts; kNever: as many as the wait allows
};

const Case kCases[] = {
    {"answered, a text before every look", true, 2, kNever, kLong, milliseconds(1), kBefore,
     BatchAnswer::Published, 3, 3},
    {"answered, a text after every look that found none", true, 2, kNever, kLong, milliseconds(1),
     kWhile, BatchAnswer::Published, 3, 2},
    {"the first batch: no 0 written, the 1 already there", false, 0, kNever, kLong, milliseconds(1),
     kBefore, BatchAnswer::Published, 1, 1},
    {"no answer, the last text at the limit", true, kNever, kNever, milliseconds(100),
     milliseconds(10), kBefore, BatchAnswer::NoAnswer, kNever, kNever},
    {"no answer, every text inside the limit", true, kNever, kNever, milliseconds(100),
     milliseconds(10), kWhile, BatchAnswer::NoAnswer, kNever, kNever},
    {"abandoned while waiting: not one look more", true, kNever, 2, kLong, milliseconds(1), kWhile,
     BatchAnswer::Abandoned, 3, 3},
    {"abandoned as the answer comes", true, 2, 2, kLong, milliseconds(1), kWhile,
     BatchAnswer::Abandoned, 3, 2},
};

TEST(BatchRequest, AnswerLimitProgressAndAbandonment) {
  const std::string head = std::string(30, '\b') + "    Saving... ";
  const std::string done = "\r\n    Done.\n";
  const LinkCalls link{.getSendCheck = &FakeFlag::getSendCheck,
                       .setSendCheck = &FakeFlag::setSendCheck};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FakeFlag::looks = 0;
    FakeFlag::answerAt = c.answerAt;
    FakeFlag::abandonAt = c.abandonAt;
    FakeFlag::written.clear();
    FakeFlag::abandon.store(false);
    std::ostringstream out;
    const BatchRequest request{.ask = c.ask,
                               .answerWait = c.wait,
                               .progressInterval = c.interval,
                               .abandon = &FakeFlag::abandon};
    const auto start = std::chrono::steady_clock::now();
    const BatchAnswer answer = requestBatch(
        link, request, {.out = &out, .label = "    Saving... ", .erase = 30, .shown = c.shown});
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(FakeFlag::written, c.ask ? std::vector<int>{0} : std::vector<int>{});
    if (c.looks != kNever) {
      EXPECT_EQ(FakeFlag::looks, c.looks);
    }
    const std::vector<long long> values = testing::progressValues(out.str(), head);
    if (c.texts != kNever) {
      EXPECT_EQ(values.size(), static_cast<size_t>(c.texts));
    }

    // Nothing but the progress texts, and "Done." unless the wait was given up.
    std::string expected;
    for (const long long value : values) expected += head + std::to_string(value) + " milSecond";
    if (c.answer != BatchAnswer::Abandoned) expected += done;
    EXPECT_EQ(out.str(), expected);

    if (c.answer == BatchAnswer::NoAnswer) {
      EXPECT_GE(took, c.wait);
      ASSERT_GE(values.size(), 2u);
      // Paced by the interval (a pause may end a little early under Wine,
      // so half an interval is the bound), not by a faster loop.
      for (size_t i = 1; i < values.size(); ++i)
        EXPECT_GE(2 * (values[i] - values[i - 1]), c.interval.count());
      EXPECT_LT(values[values.size() - 2], c.wait.count());
      if (c.shown == kBefore) {
        EXPECT_GE(values.back(), c.wait.count()) << "the time it gave up at";
      } else {
        EXPECT_LT(values.back(), c.wait.count());
      }
    } else {
      EXPECT_LT(took, c.wait) << "it goes on at once";
    }
  }
}

}  // namespace
}  // namespace tavelund
