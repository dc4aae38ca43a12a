// Replacing the settings file: the new file is made exclusively beside the
// old one and never left behind when something fails.
#include "launcher/replace_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "launcher_test_util.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace tavelund {
namespace {

using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReplaceFile, NewFileIsMadeOnlyWhereNothingIs) {
  ScratchFolder folder;
  EXPECT_EQ(writeNewFile(folder / "fresh", "content"), NewFileResult::Written);
  EXPECT_EQ(readFile(folder / "fresh"), "content");
  EXPECT_EQ(writeNewFile(folder / "fresh", "other"), NewFileResult::NameTaken);
  EXPECT_EQ(readFile(folder / "fresh"), "content");
  std::filesystem::create_directory(folder / "folder");
  EXPECT_EQ(writeNewFile(folder / "folder", "other"), NewFileResult::NameTaken);
  EXPECT_EQ(writeNewFile(folder / "missing" / "fresh", "x"), NewFileResult::Failed);
}

TEST(ReplaceFile, FailedRenameRemovesTheNewFile) {
  ScratchFolder folder;
  // A folder that is not empty cannot be renamed over.
  std::filesystem::create_directories(folder / "DefaultSetting" / "inside");
  EXPECT_FALSE(replaceFile(folder / "DefaultSetting", "new"));
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"DefaultSetting"});
  EXPECT_TRUE(std::filesystem::is_directory(folder / "DefaultSetting" / "inside"));
}

#ifndef _WIN32
// A write that stops half-way (here: the file size limit) must not leave the
// cut file, neither under its own name nor as the settings file.
TEST(ReplaceFile, FailedWriteRemovesTheNewFileAndKeepsTheOld) {
  ScratchFolder folder;
  writeFile(folder / "DefaultSetting", "old");
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 10;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const NewFileResult direct = writeNewFile(folder / "fresh", std::string(100, 'x'));
  const bool replaced = replaceFile(folder / "DefaultSetting", std::string(100, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(direct, NewFileResult::Failed);
  EXPECT_FALSE(replaced);
  EXPECT_EQ(readFile(folder / "DefaultSetting"), "old");
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"DefaultSetting"});
}
#endif

}  // namespace
}  // namespace tavelund
