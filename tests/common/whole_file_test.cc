// Whole-file writing as the CSV save and the launcher's settings file use
// it: the new file is made exclusively beside the target, renamed over it,
// and never left behind when something fails.
#include "common/whole_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#endif

namespace tavelund {
namespace {

namespace fs = std::filesystem;

// The two forms in use: the CSV save's and the settings file's.
constexpr TemporaryNameForm kPartForm{".", 8, "abcdefghijklmnopqrstuvwxyz0123456789", ".part"};
constexpr TemporaryNameForm kNewForm{".new-", 16, "0123456789abcdef", ""};
const TemporaryNameForm* const kForms[] = {&kPartForm, &kNewForm};

std::string formName(const TemporaryNameForm& form) {
  return std::string(form.before) + "*" + std::string(form.after);
}

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

  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
      found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
  }

  fs::path folder;
};

TEST_F(WholeFile, WritesANewFileAndReplacesAnOldOne) {
  for (const TemporaryNameForm* form : kForms) {
    SCOPED_TRACE(formName(*form));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path target = folder / "data.csv";
    ASSERT_TRUE(writeWholeFile(target, "first", *form));
    EXPECT_EQ(readFile(target), "first");
    ASSERT_TRUE(writeWholeFile(target, std::string("second\0with a zero", 17), *form));
    EXPECT_EQ(readFile(target), std::string("second\0with a zero", 17));
    ASSERT_TRUE(writeWholeFile(target, "", *form));
    EXPECT_EQ(readFile(target), "");
    EXPECT_EQ(names(), std::vector<std::string>{"data.csv"}) << "no temporary file is left";
  }
}

TEST_F(WholeFile, TemporaryNamesAreFreshBesideTheTargetAndOfTheirForm) {
  const fs::path target = folder / "EURUSD_20240102030405.csv";
  const std::string base = target.filename().string();
  for (const TemporaryNameForm* form : kForms) {
    SCOPED_TRACE(formName(*form));
    std::set<fs::path> seen;
    for (int i = 0; i < 50; ++i) {
      const fs::path name = temporaryNameBeside(target, *form);
      EXPECT_EQ(name.parent_path(), folder);
      const std::string file = name.filename().string();
      ASSERT_EQ(file.size(), base.size() + form->before.size() + static_cast<size_t>(form->length) +
                                 form->after.size())
          << file;
      EXPECT_EQ(file.rfind(base + std::string(form->before), 0), 0u) << file;
      EXPECT_EQ(file.substr(file.size() - form->after.size()), form->after) << file;
      const std::string picked =
          file.substr(base.size() + form->before.size(), static_cast<size_t>(form->length));
      EXPECT_EQ(picked.find_first_not_of(form->characters), std::string::npos) << file;
      seen.insert(name);
    }
    EXPECT_EQ(seen.size(), 50u);
  }
}

TEST_F(WholeFile, ANewFileIsMadeOnlyWhereNothingIs) {
  const fs::path taken = folder / "taken";
  std::ofstream(taken) << "someone else's";
  EXPECT_EQ(writeNewFile(taken, "ours"), NewFileResult::NameTaken);
  EXPECT_EQ(readFile(taken), "someone else's");
  fs::create_directory(folder / "a folder");
  EXPECT_EQ(writeNewFile(folder / "a folder", "ours"), NewFileResult::NameTaken);
  EXPECT_EQ(writeNewFile(folder / "missing" / "fresh", "ours"), NewFileResult::Failed);
  EXPECT_EQ(writeNewFile(folder / "fresh", "ours"), NewFileResult::Written);
  EXPECT_EQ(readFile(folder / "fresh"), "ours");
  EXPECT_EQ(writeNewFile(folder / "fresh", "again"), NewFileResult::NameTaken);
  EXPECT_EQ(readFile(folder / "fresh"), "ours");
}

// A form without random characters names one file only: when that is taken,
// every attempt finds it taken, and what lies there is left alone.
TEST_F(WholeFile, ANameTakenAtEveryAttemptFailsAndLeavesTheTakenFile) {
  const TemporaryNameForm fixed{".part", 0, "", ""};
  std::ofstream(folder / "data.csv.part") << "someone else's";
  EXPECT_FALSE(writeWholeFile(folder / "data.csv", "rows", fixed));
  EXPECT_EQ(readFile(folder / "data.csv.part"), "someone else's");
  EXPECT_EQ(names(), std::vector<std::string>{"data.csv.part"});
}

TEST_F(WholeFile, AFailedRenameLeavesTheTargetAndNoTemporaryFile) {
  for (const TemporaryNameForm* form : kForms) {
    SCOPED_TRACE(formName(*form));
    // A folder that is not empty in the target's place: the rename fails
    // after the write.
    fs::create_directories(folder / "DefaultSetting" / "inside");
    EXPECT_FALSE(writeWholeFile(folder / "DefaultSetting", "new", *form));
    EXPECT_TRUE(fs::is_directory(folder / "DefaultSetting" / "inside"));
    EXPECT_EQ(names(), std::vector<std::string>{"DefaultSetting"});
  }
}

// On a real file system: a target of every name length up to the longest
// a file name may be is written, under each form; one beyond fails and
// leaves nothing. The temporary name is cut where the target's own name
// leaves it too little room, never between two halves of a character.
TEST_F(WholeFile, EveryTargetNameThatFitsCanBeWritten) {
  for (const TemporaryNameForm* form : kForms) {
    SCOPED_TRACE(formName(*form));
    for (size_t length = 1; length <= kLongestFileName; ++length) {
      const fs::path target = folder / std::string(length, 'n');
      ASSERT_TRUE(writeWholeFile(target, "rows", *form)) << length;
      ASSERT_EQ(readFile(target), "rows") << length;
      fs::remove(target);
    }
    EXPECT_FALSE(writeWholeFile(folder / std::string(kLongestFileName + 1, 'n'), "rows", *form));
    EXPECT_TRUE(names().empty()) << "no temporary file is left";
  }
}

TEST_F(WholeFile, ALongTargetNameIsCutInTheTemporaryNameBetweenTwoCharacters) {
  // A character of four bytes (UTF-8) or two units (UTF-16) after a few
  // single ones, so that the cut falls on each place inside one.
  const std::u8string clef = u8"\U0001D11E";
  for (size_t lead = 0; lead < 4; ++lead) {
    std::u8string name(lead, u8'a');
    while (fs::path(name + clef).native().size() <= kLongestFileName) name += clef;
    for (const TemporaryNameForm* form : kForms) {
      SCOPED_TRACE(formName(*form) + " after " + std::to_string(lead));
      const fs::path temporary = temporaryNameBeside(folder / name, *form);
      EXPECT_EQ(temporary.parent_path(), folder);
      const auto file = temporary.filename().native();
      EXPECT_LE(file.size(), kLongestFileName);
      const auto suffixLength =
          form->before.size() + static_cast<size_t>(form->length) + form->after.size();
      const auto base = file.substr(0, file.size() - suffixLength);
      EXPECT_EQ(fs::path(name).native().rfind(base, 0), 0u) << "a start of the target's name";
      // Whole characters only: what is left after the single ones is a
      // number of whole clefs.
      EXPECT_EQ((base.size() - lead) % fs::path(clef).native().size(), 0u) << base.size();
      EXPECT_GT(base.size(), kLongestFileName - suffixLength - fs::path(clef).native().size());
    }
  }
}

// Set before or while the write runs, the abandon flag fails the write and
// leaves neither the new file nor a temporary one; the old target stays.
TEST_F(WholeFile, AnAbandonedWriteLeavesNothingBehind) {
  const fs::path target = folder / "data.csv";
  ASSERT_TRUE(writeWholeFile(target, "old", kPartForm));
  const std::atomic<bool> abandon{true};
  EXPECT_FALSE(writeWholeFile(target, std::string(3 * kWritePiece, 'x'), kPartForm, &abandon));
  EXPECT_EQ(writeNewFile(folder / "direct", std::string(3 * kWritePiece, 'x'), &abandon),
            NewFileResult::Failed);
  EXPECT_EQ(readFile(target), "old");
  EXPECT_EQ(names(), std::vector<std::string>{"data.csv"});
  const std::atomic<bool> goOn{false};
  EXPECT_TRUE(writeWholeFile(target, std::string(3 * kWritePiece, 'x'), kPartForm, &goOn));
  EXPECT_EQ(readFile(target).size(), 3 * kWritePiece);
}

TEST_F(WholeFile, AMissingFolderFails) {
  EXPECT_FALSE(writeWholeFile(folder / "missing" / "data.csv", "rows", kPartForm));
  EXPECT_TRUE(names().empty());
}

#if !defined(_WIN32)
// A write that stops half way (here: the file size limit, as a full disk
// would) removes the partial file, neither under its own name nor as the
// target, and leaves the old target as it was.
TEST_F(WholeFile, AWriteThatStopsHalfWayLeavesNothingBehind) {
  const fs::path target = folder / "data.csv";
  ASSERT_TRUE(writeWholeFile(target, "old", kPartForm));
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 16;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous {};
  ::sigaction(SIGXFSZ, &ignore, &previous);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool written[std::size(kForms)] = {};
  for (size_t i = 0; i < std::size(kForms); ++i) {
    written[i] = writeWholeFile(target, std::string(4096, 'x'), *kForms[i]);
  }
  const NewFileResult direct = writeNewFile(folder / "direct", std::string(4096, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);
  for (const bool one : written) EXPECT_FALSE(one);
  EXPECT_EQ(direct, NewFileResult::Failed);
  EXPECT_EQ(readFile(target), "old");
  EXPECT_EQ(names(), std::vector<std::string>{"data.csv"}) << "the partial files are gone";
}
#endif

}  // namespace
}  // namespace tavelund
