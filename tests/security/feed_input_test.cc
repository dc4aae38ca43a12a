// tickwell-feed given what is not a file of bars: it ends at once with a
// message, whatever the size or kind of the input, and never crashes.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/file_text.h"

namespace tavelund::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
constexpr std::chrono::milliseconds kTimeout = 30s;

struct FeedRun {
  std::optional<int> code;
  std::string output;
};

// The feed through a shell line (`$FEED` is the program), its standard
// error in its output.
FeedRun runFeed(const std::string& shellLine) {
  const std::string output = ownProgramFolder() + "security-feed-input.txt";
  const std::string feed = ownProgramFolder() + "tickwell-feed";
  ChildProcess child("/bin/sh", {"-c", "FEED=\"$0\"; " + shellLine + " 2>&1", feed}, output);
  FeedRun run;
  run.code = child.waitExit(kTimeout);
  run.output = fileText(output);
  return run;
}

class FeedInput : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("security_feed_input_" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string path(const char* name) const { return (folder_ / name).string(); }
  fs::path folder_;
};

TEST_F(FeedInput, EndlessDevicesDirectoriesAndHugeFilesAreRefusedAtOnce) {
  const FeedRun zero = runFeed("exec \"$FEED\" /dev/zero");
  EXPECT_EQ(zero.code, 1) << zero.output;
  EXPECT_EQ(zero.output, "tickwell-feed: /dev/zero:1: a NUL byte; this is not a text file\n");

  const FeedRun folder = runFeed("exec \"$FEED\" " + folder_.string());
  EXPECT_EQ(folder.code, 1) << folder.output;
  EXPECT_EQ(folder.output,
            "tickwell-feed: " + folder_.string() + ": is a directory, not a file of bars\n");

  // A file over the limit (sparse: no disk is used) is not even read.
  const std::string huge = path("huge.csv");
  { std::ofstream(huge) << "date,open,high,low,close\n"; }
  fs::resize_file(huge, (std::uintmax_t{512} << 20) + 1);
  const FeedRun big = runFeed("exec \"$FEED\" " + huge);
  EXPECT_EQ(big.code, 1) << big.output;
  EXPECT_NE(big.output.find("larger than 512 MiB"), std::string::npos) << big.output;

  // Binary bytes and a long line in the error text come out cut and escaped.
  const std::string junk = path("junk.csv");
  {
    std::ofstream file(junk, std::ios::binary);
    file << "date,open,high,low,close\n"
         << "\x1b]0;owned\x07" << std::string(5000, 'A') << ",1,1,1,1\n";
  }
  const FeedRun bad = runFeed("exec \"$FEED\" " + junk);
  EXPECT_EQ(bad.code, 1) << bad.output;
  EXPECT_EQ(bad.output, "tickwell-feed: " + junk + ":2: bad date \"\\x1B]0;owned\\x07" +
                            std::string(70, 'A') + "\"... (5010 bytes)\n");
}

TEST_F(FeedInput, BarsTheLinkCannotCarryEndTheFeedWithFileAndLine) {
  const struct {
    const char* row;
    const char* error;
  } cases[] = {
      {"2024-01-04,1,1,0.000001,1",
       ":4: low price \"0.000001\" cannot be carried by the link (5 decimals: 0.00000, off by "
       "more than 1 part in 10000)"},
      {"2024-01-04,1,1e39,1,1", ":4: bad high price \"1e39\""},
      {"2024-01-04,1,1000000000000000000000000000000000000000,1,1",
       ":4: high price \"1000000000000000000000000000000000000000\" cannot be carried by the link "
       "(beyond the viewer's single-precision range)"},
      {"2024-01-04,-5,1,-5,1",
       ":4: open price \"-5\" cannot be carried by the link (not above zero)"},
      {"2024-01-04,2,1.5,1,1.2", ":4: high is below open"},
  };
  for (const auto& c : cases) {
    const std::string bars = path("bars.csv");
    {
      std::ofstream file(bars);
      file << "date,open,high,low,close\n2024-01-02,1,2,0.5,1.5\n2024-01-03,1.5,2,1,2\n"
           << c.row << "\n2024-01-05,2,3,2,3\n";
    }
    const FeedRun run = runFeed("exec \"$FEED\" " + bars);
    EXPECT_EQ(run.code, 1) << run.output;
    EXPECT_EQ(run.output, "tickwell-feed: " + bars + c.error + "\n");
  }
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAVELUND_SANITIZED 1
#endif

TEST_F(FeedInput, RunningOutOfMemoryIsAMessageAndExitCodeOne) {
#ifdef TAVELUND_SANITIZED
  GTEST_SKIP() << "SKIPPED: a sanitizer's shadow memory does not fit an address space limit; "
                  "the native build runs this";
#endif
  // A million minute bars (25 MB): every row a bar of its own, 88 bytes in
  // memory, so the file fits the limit below and its bars do not.
  const std::string many = path("many.csv");
  {
    std::ofstream file(many);
    file << "date,open,high,low,close\n";
    char row[64];
    for (int day = 0; day < 700; ++day) {
      const int year = 2000 + day / 336, month = 1 + day / 28 % 12, dayOfMonth = 1 + day % 28;
      for (int minute = 0; minute < 1440; ++minute) {
        std::snprintf(row, sizeof row, "%04d-%02d-%02d %02d:%02d,1,1,1,1\n", year, month,
                      dayOfMonth, minute / 60, minute % 60);
        file << row;
      }
    }
  }
  // Room for the program (about 270 MB, most of it the link's buffers) and
  // the file, not for its bars.
  const FeedRun run = runFeed("ulimit -v 340000; exec \"$FEED\" " + many);
  EXPECT_EQ(run.code, 1) << run.output;
  EXPECT_EQ(run.output, "tickwell-feed: out of memory (the bars of the file do not fit)\n");
}

}  // namespace
}  // namespace tavelund::testing
