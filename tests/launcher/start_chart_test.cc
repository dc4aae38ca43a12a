#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "common/deadline.h"
#include "launcher/settings.h"
#include "launcher_test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tavelund {
namespace {

using testing_support::InFolder;
using testing_support::readFile;
using testing_support::ScopedEnvironment;
using testing_support::ScratchFolder;
using testing_support::writeFile;

// What the fake viewers wrote, one file per started viewer.
std::vector<std::string> startRecords(const std::filesystem::path& folder) {
  std::vector<std::string> records;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("started-", 0) == 0) {
      records.push_back(readFile(entry.path()));
    }
  }
  return records;
}

// Waits until `count` viewers have written a complete record.
std::vector<std::string> waitForStarts(const std::filesystem::path& folder, std::size_t count) {
  const auto deadline = MonotonicClock::now() + std::chrono::seconds(60);
  std::vector<std::string> records;
  while (MonotonicClock::now() < deadline) {
    records = startRecords(folder);
    std::size_t complete = 0;
    for (const std::string& record : records) {
      if (!record.empty() && record.back() == '\n') ++complete;
    }
    if (complete >= count) break;
    sleepPeriod(std::chrono::milliseconds(20));
  }
  return records;
}

#ifdef _WIN32

// The fake viewer lies beside this test program.
std::filesystem::path fakeViewer() {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::filesystem::path(self).parent_path() / "launcher_fake_viewer.exe";
}

void installViewer(const std::filesystem::path& folder) {
  std::filesystem::copy_file(fakeViewer(), folder / "ConsoleTavelundPF.exe");
}

#else

void writeScript(const std::filesystem::path& file, const std::string& body) {
  writeFile(file, "#!/bin/sh\n" + body);
  ::chmod(file.c_str(), 0755);
}

// A terminal that runs its -e command, and a viewer that records where it
// runs and what it got; the record's line end marks it complete.
void installViewer(const std::filesystem::path& folder) {
  writeScript(folder / "ConsoleTavelundPF",
              "printf '%s|%s' \"$PWD\" \"$*\" > started-$$.tmp\n"
              "printf '\\n' >> started-$$.tmp\n"
              "mv started-$$.tmp started-$$\n");
}

// A terminal program in `tools`; the caller points TERMINAL at it.
std::string fakeTerminal(const ScratchFolder& tools, const std::string& body) {
  writeScript(tools / "fake-terminal", body);
  return (tools / "fake-terminal").string();
}

const char* kRunningTerminal = "[ \"$1\" = -e ] || exit 3\nshift\nexec \"$@\"\n";

#endif

TEST(StartChart, MissingViewerProgramWritesTheFailure) {
  ScratchFolder folder;
#ifndef _WIN32
  ScratchFolder tools;
  ScopedEnvironment terminal("TERMINAL", fakeTerminal(tools, kRunningTerminal).c_str());
#endif
  InFolder inside(folder.path());
  std::ostringstream errors;
  EXPECT_FALSE(StartChart(LauncherSettings{}, errors));
  EXPECT_EQ(errors.str(), "Failed to start program\n");
}

TEST(StartChart, TwoStartsStartTwoViewersWithTheRunOptions) {
  ScratchFolder folder;
  installViewer(folder.path());
#ifndef _WIN32
  ScratchFolder tools;
  ScopedEnvironment terminal("TERMINAL", fakeTerminal(tools, kRunningTerminal).c_str());
#endif
  InFolder inside(folder.path());
  LauncherSettings settings;
  settings.DataExpand = "TRUE";
  std::ostringstream errors;
  EXPECT_TRUE(StartChart(settings, errors));
  EXPECT_TRUE(StartChart(settings, errors));
  EXPECT_EQ(errors.str(), "");
  std::vector<std::string> records = waitForStarts(folder.path(), 2);
  ASSERT_EQ(records.size(), 2u);
  for (const std::string& record : records) {
#ifdef _WIN32
    EXPECT_EQ(record, "-b|3|-e|-s|20|-f|3|-r|30\n");
#else
    EXPECT_EQ(record, folder.path().string() + "|-b 3 -e -s 20 -f 3 -r 30\n");
#endif
  }
}

#ifndef _WIN32

TEST(StartChart, MissingOrBrokenTerminalWritesTheFailure) {
  ScratchFolder folder;
  installViewer(folder.path());
  InFolder inside(folder.path());
  std::ostringstream errors;
  auto startWith = [&](const std::string& terminalProgram) {
    ScopedEnvironment terminal("TERMINAL", terminalProgram.c_str());
    return StartChart(LauncherSettings{}, errors);
  };
  EXPECT_FALSE(startWith("/no/such/terminal"));
  EXPECT_FALSE(startWith("tavelund-no-such-terminal-program"));
  // Executable but not a program: the exec itself fails.
  ScratchFolder tools;
  writeFile(tools / "not-a-program", "\x01\x02garbage");
  ::chmod((tools / "not-a-program").c_str(), 0755);
  EXPECT_FALSE(startWith((tools / "not-a-program").string()));
  EXPECT_EQ(errors.str(),
            "Failed to start program\nFailed to start program\nFailed to start program\n");
  EXPECT_TRUE(startRecords(folder.path()).empty());
}

TEST(StartChart, TerminalGetsTheViewerAndTheOptionsAsSeparateArguments) {
  ScratchFolder folder;
  installViewer(folder.path());
  ScratchFolder tools;
  // Records its own arguments, one per line, instead of running the viewer.
  ScopedEnvironment terminal(
      "TERMINAL", fakeTerminal(tools,
                               "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > started-$$.tmp\n"
                               "mv started-$$.tmp started-$$\n")
                      .c_str());
  InFolder inside(folder.path());
  std::ostringstream errors;
  ASSERT_TRUE(StartChart(LauncherSettings{}, errors));
  std::vector<std::string> records = waitForStarts(folder.path(), 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], "-e\n./ConsoleTavelundPF\n-b\n3\n-s\n20\n-f\n3\n-r\n30\n");
}

#endif

}  // namespace
}  // namespace tavelund
