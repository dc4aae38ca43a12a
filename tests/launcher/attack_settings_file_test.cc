// Attacks on the settings file through its folder: links planted where the
// launcher writes. A save must never write through a link, never create a
// file a link points at, and never leave a link in place of the settings.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/deadline.h"
#include "common/whole_file.h"
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

// Plants symbolic links in one folder and takes them away again before the
// folder goes.
class PlantedLinks {
 public:
  explicit PlantedLinks(std::filesystem::path folder) : folder_(std::move(folder)) {}
  ~PlantedLinks();
  PlantedLinks(const PlantedLinks&) = delete;
  PlantedLinks& operator=(const PlantedLinks&) = delete;

  // A link `name` in the folder pointing at `target` (a name in the same
  // folder, which need not exist). False when this system cannot make one.
  bool plant(const std::string& target, const std::string& name);

 private:
  std::filesystem::path folder_;
  std::vector<std::string> byHost_;
};

#ifdef _WIN32

bool existsByWindows(const std::filesystem::path& file) {
  return ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs a command of the host's shell in `folder` under Wine and waits until
// it is done. A Unix process has no handle to wait on, and a dangling link
// is invisible from Windows: the command leaves a marker when it is through.
bool runHostShell(const std::filesystem::path& folder, const std::string& command) {
  const std::string marker = ".host-shell-done";
  std::wstring commandLine =
      std::filesystem::path("/bin/sh -c \"" + command + " && : > '" + marker + "'\"").wstring();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  const auto deadline = MonotonicClock::now() + std::chrono::seconds(60);
  while (!existsByWindows(folder / marker) && MonotonicClock::now() < deadline) {
    sleepPeriod(std::chrono::milliseconds(10));
  }
  return ::DeleteFileW((folder / marker).c_str()) != 0;
}

// On Windows a real link is made where the account may. Wine 8 makes none
// (CreateSymbolicLinkW reports success and does nothing), but Wine's file
// calls meet Unix links like Windows ones: the host's ln plants one.
bool PlantedLinks::plant(const std::string& target, const std::string& name) {
  const std::filesystem::path link = folder_ / name;
  if (::CreateSymbolicLinkW(link.c_str(), std::filesystem::path(target).c_str(),
                            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return true;
    }
  }
  if (!runHostShell(folder_, "ln -s '" + target + "' '" + name + "'")) return false;
  byHost_.push_back(name);
  return true;
}

// Deleting a Unix link from Wine deletes its target instead, so the host
// takes its links away.
PlantedLinks::~PlantedLinks() {
  if (byHost_.empty()) return;
  std::string command = "rm -f";
  for (const std::string& name : byHost_) command += " '" + name + "'";
  runHostShell(folder_, command);
}

#else

bool PlantedLinks::plant(const std::string& target, const std::string& name) {
  std::error_code error;
  std::filesystem::create_symlink(target, folder_ / name, error);
  return !error;
}

PlantedLinks::~PlantedLinks() = default;

#endif

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
