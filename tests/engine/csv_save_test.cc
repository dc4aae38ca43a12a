#include "engine/csv_save.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/run_log.h"
#include "tests/support/file_text.h"

namespace tavelund {
namespace {

namespace fs = std::filesystem;

// The MT5 side as the save sees it: the flag answers 1 after `answerAfter`
// polls (never when negative), and the lines change once the request came.
struct FakeSide {
  std::string before = "2024/01/02 10:14:00.000,1.00000,1.10000,0.90000,1.05000";
  std::string after;
  std::string sendTime = "2024/01/02 10:15:01.000";
  std::string symbol = "EURUSD";
  int polls = 0;
  int answerAfter = 0;
  bool requested = false;
  // Q as the viewer's input thread presses it: `runEnding` is set at the
  // poll `endRunAt` (never when negative).
  std::atomic<bool>* runEnding = nullptr;
  int endRunAt = -1;
};
FakeSide side;

const LinkCalls kFakeLink{
    .getSendTime = [] { return side.sendTime.c_str(); },
    .getSymbol = [] { return side.symbol.c_str(); },
    .getSendCheck =
        [] {
          const int poll = side.polls++;
          if (side.runEnding != nullptr && poll == side.endRunAt) side.runEnding->store(true);
          return side.answerAfter >= 0 && poll >= side.answerAfter ? 1 : 0;
        },
    .setSendCheck =
        [](int* value) {
          side.requested = *value == 0;
          return 1;
        },
    .readLines = [] { return (side.requested ? side.after : side.before).c_str(); },
};

// The file's line end: CRLF on Windows, as a text-mode stream writes there.
#if defined(_WIN32)
constexpr std::string_view kLineEnd = "\r\n";
#else
constexpr std::string_view kLineEnd = "\n";
#endif

// `text` with its "\n" line ends as the file holds them.
std::string fileLines(std::string_view text) {
  std::string lines;
  for (char c : text) {
    if (c == '\n') {
      lines += kLineEnd;
    } else {
      lines += c;
    }
  }
  return lines;
}

class CsvSave : public ::testing::Test {
 protected:
  void SetUp() override {
    side = FakeSide{};
    folder = fs::temp_directory_path() /
             ("csv_save_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    options.programFolder = folder;
    options.out = &out;
    options.err = &err;
    options.pollPeriod = std::chrono::milliseconds(1);
    options.clock = [] { return LocalTime{2024, 1, 2, 3, 4, 5, 6}; };
    runLog().clear();
  }
  void TearDown() override { fs::remove_all(folder); }

  fs::path folder;
  std::ostringstream out, err;
  CsvSaveOptions options;
};

TEST(CsvContent, WholeMinuteRowsInReverseOrder) {
  const std::string lines =
      "2024/01/02 10:14:00.000,1.00000,1.10000,0.90000,1.05000\n"
      "2024/01/02 10:15:00.000,1.05000,1.20000,1.00000,1.10000\n"
      "2024/01/02 10:15:30.000,1.1,1.2,1.0,1.1\n"
      "2024/01/02 10:15:00.500,1.1,1.2,1.0,1.1\n"
      "garbage\n"
      "2024/01/02 10:16:00.000,1.10000,1.30000,1.10000,1.25000\n";
  EXPECT_EQ(csvContent(lines),
            "date,open,high,low,close\n"
            "2024/01/02 10:16,1.10000,1.30000,1.10000,1.25000\n"
            "2024/01/02 10:15,1.05000,1.20000,1.00000,1.10000\n"
            "2024/01/02 10:14,1.00000,1.10000,0.90000,1.05000\n");
  EXPECT_EQ(csvContent(""), "date,open,high,low,close\n");
  // Midnight holds ":00.000" once; two of them make no row.
  EXPECT_EQ(csvContent("2020/01/02 00:00:00.000,1,2,3,4"),
            "date,open,high,low,close\n2020/01/02 00:00,1,2,3,4\n");
  EXPECT_EQ(csvContent("a:00.000b:00.000"), "date,open,high,low,close\n");
}

TEST(CsvContent, RowsEndWithTheGivenLineEndAndKeepTheirBytes) {
  EXPECT_EQ(csvContent("2024/01/02 10:15:00.000,1,2,3,4\n2024/01/02 10:16:00.000,5,6,7,8", "\r\n"),
            "date,open,high,low,close\r\n2024/01/02 10:16,5,6,7,8\r\n2024/01/02 10:15,1,2,3,4\r\n");
  // Whatever bytes a row holds are written as they came.
  const std::string odd = "2024/01/02 10:15:00.000,1\x1b[2J,2\r,3\x9b,\x07";
  EXPECT_EQ(csvContent(odd),
            "date,open,high,low,close\n2024/01/02 10:15,1\x1b[2J,2\r,3\x9b,\x07\n");
}

TEST(CsvContent, FileNameAndLineForm) {
  const LocalTime time{2024, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(csvFileName("SP500", time), "SP500_20240102030405.csv");
  EXPECT_EQ(csvFileName("", time), "_20240102030405.csv") << "an empty symbol saves as before";
  EXPECT_EQ(csvFileName("a..b.", time), "a..b._20240102030405.csv");
  EXPECT_EQ(csvFileName("..", time), std::nullopt);
  EXPECT_EQ(csvFileSymbol("\x80\xff\x83\x77 x"), "\x80\xff\x83\x77 x") << "code-page bytes stay";
  EXPECT_TRUE(isTimelineLine("2024/01/02 10:14:00.000,1.00000,1.10000,0.90000,1.05000"));
  EXPECT_TRUE(isTimelineLine("1/2/3 4:5:6.7,.,1.,2,3"));
  EXPECT_FALSE(isTimelineLine("2024/01/02 10:14:00.000,1.0,1.1,0.9"));
  EXPECT_FALSE(isTimelineLine("2024/01/02 10:14:00.000,1.0,1.1,0.9,1.0,"));
  EXPECT_FALSE(isTimelineLine("2024/01/02 10:14:00.000,1.0,1.1,0.9,-1.0"));
  EXPECT_FALSE(isTimelineLine(" 2024/01/02 10:14:00.000,1,1,1,1"));
  EXPECT_FALSE(isTimelineLine("2024/01/02 10:14:00,1,1,1,1"));
  EXPECT_FALSE(isTimelineLine(""));
}

TEST(CsvExcerpt, LastTimelineLinesThenTheFirstLines) {
  runLog().clear();
  std::string text;
  for (int i = 0; i < 8; ++i) text += "2024/01/02 10:1" + std::to_string(i) + ":00.000,1,2,3,4\n";
  text += "junk";  // 10 pieces: 8 lines, "junk"... and no empty tail
  logLineExcerpt(text);
  const RunLog& log = runLog();
  ASSERT_EQ(log.size(), 11u);
  EXPECT_EQ(log[0].message, "[8]2024/01/02 10:17:00.000,1,2,3,4");
  EXPECT_EQ(log[4].message, "[4]2024/01/02 10:13:00.000,1,2,3,4");
  EXPECT_EQ(log[5].message, ">>>>> SKIP <<<<<");
  EXPECT_EQ(log[6].message, "[4]2024/01/02 10:14:00.000,1,2,3,4");
  EXPECT_EQ(log[10].message, "[0]2024/01/02 10:10:00.000,1,2,3,4");

  // Short texts: m = n - 2 first lines from index m down to 0.
  runLog().clear();
  logLineExcerpt("2024/01/02 10:10:00.000,1,2,3,4\nx\n");  // n = 3
  ASSERT_EQ(runLog().size(), 4u);
  EXPECT_EQ(runLog()[0].message, "[1]2024/01/02 10:10:00.000,1,2,3,4");
  EXPECT_EQ(runLog()[1].message, ">>>>> SKIP <<<<<");
  EXPECT_EQ(runLog()[2].message, "[1]x");
  EXPECT_EQ(runLog()[3].message, "[0]2024/01/02 10:10:00.000,1,2,3,4");
  runLog().clear();
  logLineExcerpt("");
  ASSERT_EQ(runLog().size(), 1u);
  EXPECT_EQ(runLog()[0].message, ">>>>> SKIP <<<<<");
}

// A first line of any length reaches the log only as its cut, before and
// after the request, however often the user saves.
TEST_F(CsvSave, AHugeFirstLineLeavesOnlyItsCutInTheLog) {
  const std::string huge = "2024/01/02 10:14:00.000," + std::string(1 << 20, '1');
  side.before = huge + "\n2024/01/02 10:15:00.000,1,2,3,4";
  side.after = side.before;
  size_t bytes = 0;
  for (int save = 0; save < 3; ++save) {
    side.requested = false;
    ASSERT_EQ(saveCsv(kFakeLink, options), CsvSaveOutcome::Saved);
  }
  for (const RunLogEntry& entry : runLog()) {
    EXPECT_LE(entry.message.size(), kRunLogMessageBytes) << entry.message.substr(0, 40);
    bytes += entry.timeText.size() + entry.message.size();
  }
  EXPECT_LT(bytes, 3 * 25 * (23 + kRunLogMessageBytes)) << "at most 25 entries a save";
  EXPECT_EQ(runLog()[2].message, "[0]" + huge.substr(0, kRunLogMessageBytes - 4) + "~");
  EXPECT_EQ(testing::fileText(folder / "CSV" / "EURUSD_20240102030405.csv").size(),
            fileLines("date,open,high,low,close\n2024/01/02 10:15,1,2,3,4\n").size() + huge.size() -
                7 + kLineEnd.size())
      << "the file keeps every byte";
}

TEST_F(CsvSave, WritesTheRowsOfTheLinesReadAfterTheRequest) {
  side.after =
      "2024/01/02 10:14:00.000,1.00000,1.10000,0.90000,1.05000\n"
      "2024/01/02 10:15:00.000,1.05000,1.20000,1.00000,1.10000\n";
  side.answerAfter = 3;
  ASSERT_EQ(saveCsv(kFakeLink, options), CsvSaveOutcome::Saved);
  const fs::path file = folder / "CSV" / "EURUSD_20240102030405.csv";
  EXPECT_EQ(testing::fileText(file),
            fileLines("date,open,high,low,close\n"
                      "2024/01/02 10:15,1.05000,1.20000,1.00000,1.10000\n"
                      "2024/01/02 10:14,1.00000,1.10000,0.90000,1.05000\n"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "CSV"), fs::directory_iterator()), 1)
      << "no temporary file is left behind";

  const std::string text = out.str();
  EXPECT_EQ(text.rfind(
                "    Save Start : \n    getsendtimeMT5()  : BEFORE : 2024/01/02 10:15:01.000\n", 0),
            0u);
  EXPECT_NE(text.find(std::string(30, '\b') + "    Saving... "), std::string::npos);
  EXPECT_NE(
      text.find(
          " milSecond\r\n    Done.\n    getsendtimeMT5()  : AFTER  : 2024/01/02 10:15:01.000\n"),
      std::string::npos);
  EXPECT_NE(text.find("    Saved : " + (folder / "CSV" / "EURUSD_20240102030405.csv").string() +
                      "\n    Done... \n"),
            std::string::npos);
  EXPECT_EQ(err.str(), "");

  const RunLog& log = runLog();
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log[0].message, "[1]" + side.before);
  EXPECT_EQ(log[1].message, ">>>>> SKIP <<<<<");
  EXPECT_EQ(log[2].message, std::string(71, '-'));
  EXPECT_EQ(log[3].message, "getsymbolcMT5()   : AFTER  : EURUSD");
  EXPECT_EQ(log[4].message, "[2]2024/01/02 10:15:00.000,1.05000,1.20000,1.00000,1.10000");
  EXPECT_EQ(log.back().message, std::string(71, '-'));
}

TEST_F(CsvSave, ASilentSideEndsTheWaitAndStillSaves) {
  side.answerAfter = -1;
  side.after = "2024/01/02 10:15:00.000,1,2,3,4";
  options.waitLimit = std::chrono::milliseconds(60);
  options.pollPeriod = std::chrono::milliseconds(20);
  ASSERT_EQ(saveCsv(kFakeLink, options), CsvSaveOutcome::Saved);
  EXPECT_EQ(testing::fileText(folder / "CSV" / "EURUSD_20240102030405.csv"),
            fileLines("date,open,high,low,close\n2024/01/02 10:15,1,2,3,4\n"));
  EXPECT_GE(side.polls, 2);
}

TEST_F(CsvSave, ASecondSaveInTheSameSecondReplacesTheFirst) {
  side.after = "2024/01/02 10:15:00.000,1,2,3,4";
  ASSERT_EQ(saveCsv(kFakeLink, options), CsvSaveOutcome::Saved);
  side.requested = false;
  side.after = "2024/01/02 10:16:00.000,5,6,7,8";
  ASSERT_EQ(saveCsv(kFakeLink, options), CsvSaveOutcome::Saved);
  EXPECT_EQ(testing::fileText(folder / "CSV" / "EURUSD_20240102030405.csv"),
            fileLines("date,open,high,low,close\n2024/01/02 10:16,5,6,7,8\n"));
}

// The run ends (Q) while the save waits for a side that does not answer,
// or before it writes: the save gives up and leaves no file.
TEST_F(CsvSave, TheEndOfTheRunAbandonsTheSaveAndLeavesNothing) {
  std::atomic<bool> runEnding{false};
  options.runEnding = &runEnding;
  options.waitLimit = std::chrono::milliseconds(10000);
  side.after = "2024/01/02 10:15:00.000,1,2,3,4";
  side.answerAfter = -1;
  side.runEnding = &runEnding;
  side.endRunAt = 3;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(saveCsv(kFakeLink, options), CsvSaveOutcome::Abandoned);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(side.polls, 4) << "not one poll more";
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "CSV"), fs::directory_iterator()), 0);
  EXPECT_EQ(out.str().find("Saved"), std::string::npos);
  EXPECT_EQ(err.str(), "");

  // While the run goes on, the flag changes nothing.
  runEnding.store(false);
  side = FakeSide{};
  side.after = "2024/01/02 10:15:00.000,1,2,3,4";
  EXPECT_EQ(saveCsv(kFakeLink, options), CsvSaveOutcome::Saved);
}

TEST_F(CsvSave, APlainFileNamedCsvIsAFolderFailure) {
  std::ofstream(folder / "CSV") << "x";
  EXPECT_EQ(saveCsv(kFakeLink, options), CsvSaveOutcome::FolderFailed);
  EXPECT_EQ(err.str().rfind("mkdir error : " + (folder / "CSV").string() + " : ", 0), 0u);
  EXPECT_EQ(side.requested, false) << "nothing is asked of the MT5 side";
}

TEST_F(CsvSave, AnUnwritableFileIsReportedAndLeavesNothing) {
  // A folder in the file's place makes the rename fail after the write.
  fs::create_directories(folder / "CSV" / "EURUSD_20240102030405.csv" / "inside");
  side.after = "2024/01/02 10:15:00.000,1,2,3,4";
  EXPECT_EQ(saveCsv(kFakeLink, options), CsvSaveOutcome::CannotSave);
  EXPECT_EQ(err.str(),
            "Can Not Save : " + (folder / "CSV" / "EURUSD_20240102030405.csv").string() + "\n");
  for (const auto& entry : fs::directory_iterator(folder / "CSV")) {
    EXPECT_EQ(entry.path().filename(), "EURUSD_20240102030405.csv") << "nothing else is left";
  }
  EXPECT_EQ(out.str().find("    Saved : "), std::string::npos);
}

}  // namespace
}  // namespace tavelund
