#include "common/whole_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#endif

namespace tavelund {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class WholeFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder =
        fs::temp_directory_path() /
        ("whole_file_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  size_t entries() const {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }

  fs::path folder;
};

TEST_F(WholeFile, WritesANewFileAndReplacesAnOldOne) {
  const fs::path target = folder / "data.csv";
  ASSERT_TRUE(writeWholeFile(target, "first"));
  EXPECT_EQ(readFile(target), "first");
  ASSERT_TRUE(writeWholeFile(target, std::string("second\0with a zero", 17)));
  EXPECT_EQ(readFile(target), std::string("second\0with a zero", 17));
  ASSERT_TRUE(writeWholeFile(target, ""));
  EXPECT_EQ(readFile(target), "");
  EXPECT_EQ(entries(), 1u) << "no temporary file is left";
}

TEST_F(WholeFile, TemporaryNamesAreFreshAndBesideTheTarget) {
  const fs::path target = folder / "EURUSD_20240102030405.csv";
  std::set<fs::path> names;
  for (int i = 0; i < 50; ++i) {
    const fs::path name = temporaryNameBeside(target);
    EXPECT_EQ(name.parent_path(), folder);
    const std::string file = name.filename().string();
    ASSERT_EQ(file.size(), target.filename().string().size() + 14) << file;
    EXPECT_EQ(file.rfind("EURUSD_20240102030405.csv.", 0), 0u) << file;
    EXPECT_EQ(file.substr(file.size() - 5), ".part") << file;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 50u);
}

TEST_F(WholeFile, ANewFileNeverTakesAnExistingName) {
  const fs::path taken = folder / "taken";
  std::ofstream(taken) << "someone else's";
  EXPECT_EQ(writeExclusively(taken, "ours"), ExclusiveWrite::NameTaken);
  EXPECT_EQ(readFile(taken), "someone else's");
  fs::create_directory(folder / "a folder");
  EXPECT_NE(writeExclusively(folder / "a folder", "ours"), ExclusiveWrite::Written);
  EXPECT_EQ(writeExclusively(folder / "fresh", "ours"), ExclusiveWrite::Written);
  EXPECT_EQ(readFile(folder / "fresh"), "ours");
}

TEST_F(WholeFile, AFailedRenameLeavesTheTargetAndNoTemporaryFile) {
  // A folder in the target's place: the rename fails after the write.
  fs::create_directories(folder / "data.csv" / "inside");
  EXPECT_FALSE(writeWholeFile(folder / "data.csv", "rows"));
  EXPECT_TRUE(fs::is_directory(folder / "data.csv" / "inside"));
  EXPECT_EQ(entries(), 1u);
}

TEST_F(WholeFile, AMissingFolderFails) {
  EXPECT_FALSE(writeWholeFile(folder / "missing" / "data.csv", "rows"));
  EXPECT_EQ(entries(), 0u);
}

#if !defined(_WIN32)
// A write that stops half way (here: the file size limit, as a full disk
// would) removes the partial file and leaves the old target as it was.
TEST_F(WholeFile, AWriteThatStopsHalfWayLeavesNothingBehind) {
  const fs::path target = folder / "data.csv";
  ASSERT_TRUE(writeWholeFile(target, "old"));
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 16;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous {};
  ::sigaction(SIGXFSZ, &ignore, &previous);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = writeWholeFile(target, std::string(4096, 'x'));
  const ExclusiveWrite direct = writeExclusively(folder / "direct", std::string(4096, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);
  EXPECT_FALSE(written);
  EXPECT_EQ(direct, ExclusiveWrite::Failed);
  EXPECT_EQ(readFile(target), "old");
  EXPECT_EQ(entries(), 1u) << "the partial files are gone";
}
#endif

}  // namespace
}  // namespace tavelund
