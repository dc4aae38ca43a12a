// Attacks on the settings file through its folder: links planted where the
// launcher writes. A save must never write through a link, never create a
// file a link points at, and never leave a link in place of the settings.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "common/deadline.h"
#include "launcher/replace_file.h"
#include "launcher/settings.h"
#include "launcher_test_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavelund {
namespace {

using testing_support::base64;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

constexpr const char* kDefaultJson =
    R"({"BoxReverse":"3","DataExpand":"FALSE","ShowLines":"20","FigureLength":"3","ScrollBackCounts":"30"})";

#ifdef _WIN32

bool existsByWindows(const std::filesystem::path& file) {
  return ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Wine 8 makes no Windows symbolic links (CreateSymbolicLinkW reports
// success and does nothing), but Wine's file calls meet Unix links in the
// folder like Windows ones: the host's ln plants one. On Windows itself a
// real link is made where the account may.
bool plantLink(const std::filesystem::path& folder, const std::string& target,
               const std::string& name) {
  const std::filesystem::path link = folder / name;
  if (::CreateSymbolicLinkW(link.c_str(), std::filesystem::path(target).c_str(),
                            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
      (::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return true;
  }
  // A dangling Unix link is invisible from Windows, so a marker file made
  // after it tells when the link is there.
  std::wstring command = L"/bin/sh -c \"ln -s '" + std::filesystem::path(target).wstring() +
                         L"' '" + std::filesystem::path(name).wstring() + L"' && : > '" +
                         std::filesystem::path(name).wstring() + L".planted'\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  const std::filesystem::path marker = folder / (name + ".planted");
  const auto deadline = MonotonicClock::now() + std::chrono::seconds(60);
  while (!existsByWindows(marker) && MonotonicClock::now() < deadline) {
    sleepPeriod(std::chrono::milliseconds(10));
  }
  return ::DeleteFileW(marker.c_str()) != 0;
}

#else

bool plantLink(const std::filesystem::path& folder, const std::string& target,
               const std::string& name) {
  std::error_code error;
  std::filesystem::create_symlink(target, folder / name, error);
  return !error;
}

#endif

#define PLANT_OR_SKIP(folder, target, name)                                           \
  if (!plantLink(folder, target, name)) {                                             \
    GTEST_SKIP() << "SKIPPED: this system cannot plant a symbolic link for the test"; \
  }

class SettingsFileAttack : public ::testing::Test {
 protected:
  void SetUp() override { writeFile(folder_ / "victim", "precious"); }
  std::filesystem::path settingsFile() const { return folder_ / "DefaultSetting"; }
  ScratchFolder folder_;
};

// The old fixed name of the save's new file: a link there once took the
// settings text into the victim and then took the settings file's place.
TEST_F(SettingsFileAttack, LinkAtTheNewFileNameIsNotFollowed) {
  PLANT_OR_SKIP(folder_.path(), "victim", "DefaultSetting.new");
  ASSERT_TRUE(SaveSettings(LauncherSettings{}, settingsFile()));
  EXPECT_EQ(readFile(folder_ / "victim"), "precious");
  EXPECT_EQ(readFile(settingsFile()), base64(kDefaultJson));
#ifndef _WIN32
  EXPECT_FALSE(std::filesystem::is_symlink(settingsFile()));
  EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "DefaultSetting.new"));
#endif
}

TEST_F(SettingsFileAttack, DanglingLinkDoesNotCreateItsTarget) {
  PLANT_OR_SKIP(folder_.path(), "created-through-link", "DefaultSetting.new");
  ASSERT_TRUE(SaveSettings(LauncherSettings{}, settingsFile()));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "created-through-link"));
  EXPECT_EQ(readFile(settingsFile()), base64(kDefaultJson));
}

// Whatever name the new file gets, making it never opens what lies there.
TEST_F(SettingsFileAttack, NewFileIsNeverOpenedThroughALink) {
  PLANT_OR_SKIP(folder_.path(), "victim", "taken");
  PLANT_OR_SKIP(folder_.path(), "created-through-link", "dangling");
  EXPECT_EQ(writeNewFile(folder_ / "taken", "attack"), NewFileResult::NameTaken);
  EXPECT_EQ(writeNewFile(folder_ / "dangling", "attack"), NewFileResult::NameTaken);
  EXPECT_EQ(readFile(folder_ / "victim"), "precious");
  EXPECT_FALSE(std::filesystem::exists(folder_ / "created-through-link"));
}

// A link in place of the settings file itself is replaced, not written through.
TEST_F(SettingsFileAttack, LinkAsTheSettingsFileIsReplaced) {
  PLANT_OR_SKIP(folder_.path(), "victim", "DefaultSetting");
  ASSERT_TRUE(SaveSettings(LauncherSettings{}, settingsFile()));
  EXPECT_EQ(readFile(folder_ / "victim"), "precious");
  EXPECT_EQ(readFile(settingsFile()), base64(kDefaultJson));
}

}  // namespace
}  // namespace tavelund
