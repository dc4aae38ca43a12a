// Attacks on the settings file through its folder: links planted where the
// launcher writes. A save must never write through a link, never create a
// file a link points at, and never leave a link in place of the settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/whole_file.h"
#include "launcher/settings.h"
#include "launcher_test_util.h"
#include "tests/support/planted_links.h"

namespace tavelund {
namespace {

using tavelund::testing::PlantedLinks;
using testing_support::base64;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

constexpr const char* kDefaultJson =
    R"({"BoxReverse":"3","DataExpand":"FALSE","ShowLines":"20","FigureLength":"3","ScrollBackCounts":"30"})";

#define PLANT_OR_SKIP(target, name)                                                   \
  if (!links_.plant(target, name)) {                                                  \
    GTEST_SKIP() << "SKIPPED: this system cannot plant a symbolic link for the test"; \
  }

class SettingsFileAttack : public ::testing::Test {
 protected:
  void SetUp() override { writeFile(folder_ / "victim", "precious"); }
  std::filesystem::path settingsFile() const { return folder_ / "DefaultSetting"; }
  ScratchFolder folder_;
  PlantedLinks links_{folder_.path()};
};

// The old fixed name of the save's new file: a link there once took the
// settings text into the victim and then took the settings file's place.
TEST_F(SettingsFileAttack, LinkAtTheNewFileNameIsNotFollowed) {
  PLANT_OR_SKIP("victim", "DefaultSetting.new");
  ASSERT_TRUE(SaveSettings(LauncherSettings{}, settingsFile()));
  EXPECT_EQ(readFile(folder_ / "victim"), "precious");
  EXPECT_EQ(readFile(settingsFile()), base64(kDefaultJson));
#ifndef _WIN32
  EXPECT_FALSE(std::filesystem::is_symlink(settingsFile()));
  EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "DefaultSetting.new"));
#endif
}

TEST_F(SettingsFileAttack, DanglingLinkDoesNotCreateItsTarget) {
  PLANT_OR_SKIP("created-through-link", "DefaultSetting.new");
  ASSERT_TRUE(SaveSettings(LauncherSettings{}, settingsFile()));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "created-through-link"));
  EXPECT_EQ(readFile(settingsFile()), base64(kDefaultJson));
}

// Whatever name the new file gets, making it never opens what lies there.
TEST_F(SettingsFileAttack, NewFileIsNeverOpenedThroughALink) {
  PLANT_OR_SKIP("victim", "taken");
  PLANT_OR_SKIP("created-through-link", "dangling");
  EXPECT_EQ(writeNewFile(folder_ / "taken", "attack"), NewFileResult::NameTaken);
  EXPECT_EQ(writeNewFile(folder_ / "dangling", "attack"), NewFileResult::NameTaken);
  EXPECT_EQ(readFile(folder_ / "victim"), "precious");
  EXPECT_FALSE(std::filesystem::exists(folder_ / "created-through-link"));
}

// A link in place of the settings file itself is replaced, not written through.
TEST_F(SettingsFileAttack, LinkAsTheSettingsFileIsReplaced) {
  PLANT_OR_SKIP("victim", "DefaultSetting");
  ASSERT_TRUE(SaveSettings(LauncherSettings{}, settingsFile()));
  EXPECT_EQ(readFile(folder_ / "victim"), "precious");
  EXPECT_EQ(readFile(settingsFile()), base64(kDefaultJson));
}

}  // namespace
}  // namespace tavelund
