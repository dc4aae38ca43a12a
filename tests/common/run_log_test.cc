// The run log stays bounded whatever its messages hold: what it keeps is
// measured in the bytes of its entries, through the log itself.
#include "common/run_log.h"

#include <gtest/gtest.h>

#include <string>

#include "common/screen_text.h"

namespace tavelund {
namespace {

size_t bytesHeld(const RunLog& log) {
  size_t bytes = 0;
  for (const RunLogEntry& entry : log) bytes += entry.timeText.size() + entry.message.size();
  return bytes;
}

// A character of two bytes in the console's form.
#if defined(_WIN32)
const std::string kTwoBytes = "\x83\x77";  // a code page 932 pair
#else
const std::string kTwoBytes = "\xc3\xa9";  // é
#endif

TEST(RunLog, AMessageKeepsAtMostItsLimitAndACutOneEndsInTheMark) {
  const std::string limit(kRunLogMessageBytes, 'x');
  const struct {
    const char* what;
    std::string message;
    std::string kept;
  } cases[] = {
      {"short", "SYMBOL      : EURUSD", "SYMBOL      : EURUSD"},
      {"at the limit", limit, limit},
      {"one byte over", limit + "y", std::string(kRunLogMessageBytes - 1, 'x') + "~"},
      {"a line of 1 MiB", "[0]" + std::string(1 << 20, '7'),
       "[0]" + std::string(kRunLogMessageBytes - 4, '7') + "~"},
      // The cut falls before a character that would be split.
      {"a character across the cut", std::string(kRunLogMessageBytes - 2, 'x') + kTwoBytes + "zz",
       std::string(kRunLogMessageBytes - 2, 'x') + "~"},
  };
  for (const auto& one : cases) {
    RunLog log;
    log.append(RunLogEntry{"2024/01/02 03:04:05.006", one.message});
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].message, one.kept) << one.what;
    EXPECT_LE(log[0].message.size(), kRunLogMessageBytes) << one.what;
  }
  // The label-and-text form copies no more of the text and cuts alike.
  runLog().clear();
  appendLog("[3]", std::string(8 << 20, 'a'));
  EXPECT_EQ(runLog().back().message, "[3]" + std::string(kRunLogMessageBytes - 4, 'a') + "~");
  runLog().clear();
}

// However many entries come, the log keeps the newest and one note, at the
// oldest end, of how many went before them.
TEST(RunLog, KeepsTheNewestEntriesAndOneNoteOfHowManyWereDropped) {
  runLog().clear();
  const size_t extra = 1234;
  const size_t total = kRunLogEntryLimit + extra;
  for (size_t i = 0; i < total; ++i) {
    appendLog(std::to_string(i) + " " + std::string(10000, 'x'));
    ASSERT_LE(runLog().size(), kRunLogEntryLimit);
  }
  const RunLog& log = runLog();
  ASSERT_EQ(log.size(), kRunLogEntryLimit);
  EXPECT_LE(bytesHeld(log), kRunLogEntryLimit * (23 + kRunLogMessageBytes));
  const uint64_t dropped = total - (kRunLogEntryLimit - 1);
  EXPECT_EQ(log.dropped(), dropped);
  EXPECT_EQ(log[0].message, droppedEntriesNote(dropped));
  EXPECT_EQ(log[0].timeText, log.back().timeText) << "the note is of the latest drop";
  EXPECT_EQ(log[1].message.rfind(std::to_string(dropped) + " ", 0), 0u) << "the oldest kept";
  EXPECT_EQ(log.back().message.rfind(std::to_string(total - 1) + " ", 0), 0u);
  for (size_t i = 1; i < log.size(); ++i) {
    ASSERT_EQ(log[i].message.rfind(std::to_string(dropped + i - 1) + " ", 0), 0u) << i;
  }

  // Cleared, the log starts afresh.
  runLog().clear();
  appendLog("first");
  EXPECT_EQ(runLog().dropped(), 0u);
  ASSERT_EQ(runLog().size(), 1u);
  EXPECT_EQ(runLog()[0].message, "first");
  runLog().clear();
}

}  // namespace
}  // namespace tavelund
