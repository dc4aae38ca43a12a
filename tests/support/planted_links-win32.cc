// On Windows a real link is made where the account may. Wine 8 makes none
// (CreateSymbolicLinkW reports success and does nothing), but Wine's file
// calls meet Unix links like Windows ones: the host's ln plants one there.
#include <windows.h>

#include <chrono>

#include "common/deadline.h"
#include "tests/support/planted_links.h"

namespace tavelund::testing {
namespace {

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

}  // namespace

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

}  // namespace tavelund::testing
