// Drives the real Vantrell.exe from outside, as a user would: finds its
// window by title, sends menu commands, works the number dialog through its
// control ids and reads the message boxes. Runs under Wine on a private
// Xvfb display (with-xvfb.sh).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "launcher/settings.h"
#include "tests/support/wait.h"
#include "launcher_test_util.h"

namespace tavelund {
namespace {

using testing_support::readFile;
using testing_support::ScratchFolder;

constexpr const wchar_t* kTitle = L"Vantrell Gratwell";
constexpr std::chrono::seconds kPatience{60};

bool waitFor(const std::function<bool()>& condition) {
  return tavelund::testing::waitFor(condition, kPatience, std::chrono::milliseconds(20));
}

std::filesystem::path besideThisProgram(const wchar_t* name) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::filesystem::path(self).parent_path() / name;
}

std::wstring windowText(HWND window) {
  wchar_t buffer[512] = {};
  ::GetWindowTextW(window, buffer, 512);
  return buffer;
}

std::vector<HWND> topLevelWindowsTitled(const wchar_t* title) {
  struct Search {
    const wchar_t* title;
    std::vector<HWND> found;
  } search{title, {}};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (windowText(window) == s->title) s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<std::wstring> staticTexts(HWND parent) {
  std::vector<std::wstring> texts;
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        wchar_t className[64] = {};
        ::GetClassNameW(child, className, 64);
        if (std::wstring(className) == L"Static") {
          reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(windowText(child));
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

HWND waitForDialog(const wchar_t* caption) {
  HWND dialog = nullptr;
  waitFor([&] {
    dialog = ::FindWindowW(L"#32770", caption);
    return dialog && ::IsWindowVisible(dialog);
  });
  return dialog;
}

bool waitUntilGone(HWND window) {
  return waitFor([&] { return !::IsWindow(window); });
}

void pressButton(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::wstring numberBox(HWND dialog) {
  wchar_t buffer[64] = {};
  ::GetDlgItemTextW(dialog, 1005, buffer, 64);
  return buffer;
}

struct Launched {
  PROCESS_INFORMATION process{};
  bool ok = false;
};

// The launcher runs from a copy in `folder`: the shell looks for the viewer
// in the launcher's own folder before the working folder, and in a full
// build the real viewer lies beside the real launcher.
Launched launch(const std::filesystem::path& folder) {
  Launched launched;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  const std::filesystem::path program = folder / "Vantrell.exe";
  if (!std::filesystem::exists(program)) {
    std::filesystem::copy_file(besideThisProgram(L"Vantrell.exe"), program);
  }
  std::wstring commandLine = L"\"" + program.wstring() + L"\"";
  launched.ok = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 folder.wstring().c_str(), &startup, &launched.process) != 0;
  return launched;
}

DWORD waitForExit(const Launched& launched) {
  if (::WaitForSingleObject(launched.process.hProcess,
                            static_cast<DWORD>(kPatience.count() * 1000)) != WAIT_OBJECT_0) {
    return STILL_ACTIVE;
  }
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(launched.process.hProcess, &code);
  return code;
}

// Every test starts its own launcher in a scratch folder of its own, from
// the settings file it asks for, and closes it at the end: no test depends
// on another's changes or on the order in which they run.
class LauncherWindow : public ::testing::Test {
 protected:
  void TearDown() override {
    if (launched_.ok) {
      if (::WaitForSingleObject(launched_.process.hProcess, 0) == WAIT_TIMEOUT) {
        command(105);
        if (waitForExit(launched_) == STILL_ACTIVE) {
          ::TerminateProcess(launched_.process.hProcess, 1);
          ::WaitForSingleObject(launched_.process.hProcess, INFINITE);
        }
      }
      ::CloseHandle(launched_.process.hProcess);
      ::CloseHandle(launched_.process.hThread);
    }
    // The next test's launcher must not find this one's window.
    waitFor([] { return ::FindWindowW(nullptr, kTitle) == nullptr; });
  }

  // Starts the launcher with `start` in its settings file and waits for
  // its window.
  void launchWith(const LauncherSettings& start) {
    ASSERT_EQ(::FindWindowW(nullptr, kTitle), nullptr) << "a launcher is open already";
    ASSERT_TRUE(SaveSettings(start, settingsFile()));
    std::filesystem::copy_file(besideThisProgram(L"launcher_fake_viewer.exe"),
                               folder_ / "ConsoleTavelundPF.exe");
    launched_ = launch(folder_.path());
    ASSERT_TRUE(launched_.ok);
    ASSERT_TRUE(waitFor([&] { return (window_ = ::FindWindowW(nullptr, kTitle)) != nullptr; }));
  }

  void command(int id) { ::PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

  std::filesystem::path settingsFile() const { return folder_ / "DefaultSetting"; }

  // What the launcher holds now, as its Save Settings command writes it.
  LauncherSettings saved() {
    std::filesystem::remove(settingsFile());
    command(34500);
    waitFor([&] { return std::filesystem::exists(settingsFile()); });
    LauncherSettings settings{"?", "?", "?", "?", "?"};
    LoadSettings(settings, settingsFile());
    return settings;
  }

  ScratchFolder folder_;
  Launched launched_;
  HWND window_ = nullptr;
};

TEST_F(LauncherWindow, ClassAndClientSize) {
  launchWith(LauncherSettings{});
  wchar_t className[64] = {};
  ::GetClassNameW(window_, className, 64);
  EXPECT_EQ(std::wstring(className), L"VANTRELL");
  RECT client{};
  EXPECT_TRUE(waitFor([&] {
    ::GetClientRect(window_, &client);
    return client.right == 512 && client.bottom == 512;
  })) << client.right
      << " x " << client.bottom;
}

// Menus of another process cannot be read through its window under Wine, so
// the resources are read from the program file itself.
class LauncherResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module = ::LoadLibraryExW(besideThisProgram(L"Vantrell.exe").wstring().c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override {
    if (module) ::FreeLibrary(module);
  }
  std::string resource(const wchar_t* type, int id) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found) return {};
    const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    return std::string(bytes, ::SizeofResource(module, found));
  }
  HMODULE module = nullptr;
};

TEST_F(LauncherResources, StringsMenuPictureIconAndManifest) {
  wchar_t text[100] = {};
  ::LoadStringW(module, 109, text, 100);
  EXPECT_EQ(std::wstring(text), L"VANTRELL");
  ::LoadStringW(module, 123, text, 100);
  EXPECT_EQ(std::wstring(text), L"Vantrell");

  HMENU bar = ::LoadMenuW(module, MAKEINTRESOURCEW(109));
  ASSERT_NE(bar, nullptr);
  auto label = [](HMENU menu, int position) {
    wchar_t buffer[64] = {};
    ::GetMenuStringW(menu, position, buffer, 64, MF_BYPOSITION);
    return std::wstring(buffer);
  };
  ASSERT_EQ(::GetMenuItemCount(bar), 2);
  EXPECT_EQ(label(bar, 0), L"File(&F)");
  EXPECT_EQ(label(bar, 1), L"Run Maker(&R)");
  HMENU file = ::GetSubMenu(bar, 0);
  ASSERT_EQ(::GetMenuItemCount(file), 3);
  EXPECT_EQ(label(file, 0), L"Chart(&C)");
  EXPECT_EQ(::GetMenuItemID(file, 0), 34400u);
  EXPECT_NE(::GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR, 0u);
  EXPECT_EQ(label(file, 2), L"Close(&X)");
  EXPECT_EQ(::GetMenuItemID(file, 2), 105u);
  HMENU run = ::GetSubMenu(bar, 1);
  ASSERT_EQ(::GetMenuItemCount(run), 11);
  const struct {
    int position;
    const wchar_t* text;
    UINT id;
  } entries[] = {{0, L"Box Reverse(-b)", 34102},   {2, L"Show Lines(-s)", 34104},
                 {3, L"Figure Length(-f)", 34105}, {4, L"ScrollBack Counts(-r)", 34106},
                 {5, L"Box Size(-p)", 34107},      {6, L"Box Grid(-g)", 34108},
                 {8, L"Options", 34300},           {10, L"Save Settings", 34500}};
  for (const auto& entry : entries) {
    EXPECT_EQ(label(run, entry.position), entry.text);
    EXPECT_EQ(::GetMenuItemID(run, entry.position), entry.id);
  }
  for (int separator : {7, 9}) {
    EXPECT_NE(::GetMenuState(run, separator, MF_BYPOSITION) & MF_SEPARATOR, 0u);
  }
  EXPECT_EQ(label(run, 1), L"Data Expand(-e)");
  HMENU expand = ::GetSubMenu(run, 1);
  ASSERT_NE(expand, nullptr);
  ASSERT_EQ(::GetMenuItemCount(expand), 1);
  EXPECT_EQ(label(expand, 0), L"OFF");
  EXPECT_EQ(::GetMenuItemID(expand, 0), 34211u);
  ::DestroyMenu(bar);

  const std::string picture = resource(MAKEINTRESOURCEW(2), 5005);  // RT_BITMAP
  ASSERT_GE(picture.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header;
  std::memcpy(&header, picture.data(), sizeof header);
  EXPECT_EQ(header.biWidth, 512);
  EXPECT_EQ(header.biHeight, 512);
  EXPECT_EQ(header.biBitCount, 24);

  // The icon group: a 6-byte header, then 14-byte entries.
  const std::string group = resource(MAKEINTRESOURCEW(14), 107);  // RT_GROUP_ICON
  ASSERT_GE(group.size(), 6u);
  const unsigned count = static_cast<unsigned char>(group[4]);
  ASSERT_EQ(group.size(), 6u + 14u * count);
  std::vector<int> sizes;
  for (unsigned i = 0; i < count; ++i) {
    const char* entry = group.data() + 6 + 14 * i;
    const int width = static_cast<unsigned char>(entry[0]);
    sizes.push_back(width == 0 ? 256 : width);
    EXPECT_EQ(static_cast<unsigned char>(entry[6]), 32);  // bits per pixel
  }
  EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 96, 128, 256}));

  const std::string manifest = resource(MAKEINTRESOURCEW(24), 1);  // RT_MANIFEST
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
}

TEST_F(LauncherWindow, OutOfRangeValueShowsAsItIsAndOkStoresTheMinimum) {
  LauncherSettings start;
  start.BoxReverse = "9";
  launchWith(start);
  command(34102);
  HWND dialog = waitForDialog(L"Input Number");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(numberBox(dialog), L"9");
  EXPECT_EQ(::SendDlgItemMessageW(dialog, 34201, TBM_GETPOS, 0, 0), 5);
  std::vector<std::wstring> labels = staticTexts(dialog);
  EXPECT_NE(std::find(labels.begin(), labels.end(), L"Box Reverse"), labels.end());
  wchar_t cancel[32] = {};
  ::GetDlgItemTextW(dialog, 2, cancel, 32);
  EXPECT_EQ(std::wstring(cancel), L"\u30AD\u30E3\u30F3\u30BB\u30EB");
  pressButton(dialog, IDOK);
  ASSERT_TRUE(waitUntilGone(dialog));
  EXPECT_EQ(saved().BoxReverse, "3");
}

TEST_F(LauncherWindow, TypedNumberIsStoredAndCancelKeepsIt) {
  launchWith(LauncherSettings{});
  command(34104);
  HWND dialog = waitForDialog(L"Input Number");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(numberBox(dialog), L"20");
  ::SetDlgItemTextW(dialog, 1005, L"77");
  pressButton(dialog, IDOK);
  ASSERT_TRUE(waitUntilGone(dialog));

  command(34104);
  dialog = waitForDialog(L"Input Number");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(numberBox(dialog), L"77");
  // The slider moved to its right end puts its maximum into the number box.
  HWND slider = ::GetDlgItem(dialog, 34201);
  ::SendMessageW(slider, TBM_SETPOS, TRUE, 150);
  ::SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
  EXPECT_EQ(numberBox(dialog), L"150");
  pressButton(dialog, IDCANCEL);
  ASSERT_TRUE(waitUntilGone(dialog));
  EXPECT_EQ(saved().ShowLines, "77");

  command(34105);
  dialog = waitForDialog(L"Input Number");
  ASSERT_NE(dialog, nullptr);
  ::SetDlgItemTextW(dialog, 1005, L"8");
  pressButton(dialog, IDOK);
  ASSERT_TRUE(waitUntilGone(dialog));
  command(34106);
  dialog = waitForDialog(L"Input Number");
  ASSERT_NE(dialog, nullptr);
  ::SetDlgItemTextW(dialog, 1005, L"300");
  pressButton(dialog, IDOK);
  ASSERT_TRUE(waitUntilGone(dialog));
  LauncherSettings now = saved();
  EXPECT_EQ(now.FigureLength, "1");
  EXPECT_EQ(now.ScrollBackCounts, "300");
}

// The box size and grid dialogs: what the file held shows, what the viewer
// takes is stored, anything else stores the option's default.
TEST_F(LauncherWindow, BoxDialogsStoreWhatTheViewerTakes) {
  LauncherSettings start;
  start.GridScale = "atr14";
  launchWith(start);
  const struct {
    int command;
    const wchar_t* label;
    const wchar_t* shown;
    const wchar_t* typed;
  } rows[] = {{34107, L"Box Size % (0 < P <= 50)", L"1", L"0.25"},
              {34108, L"Grid: 1%, 0.0010, trad, atr14; empty: none", L"atr14", L"1%"}};
  for (const auto& row : rows) {
    command(row.command);
    HWND dialog = waitForDialog(L"Input Text");
    ASSERT_NE(dialog, nullptr);
    wchar_t text[64] = {};
    ::GetDlgItemTextW(dialog, 1006, text, 64);
    EXPECT_EQ(std::wstring(text), row.shown);
    std::vector<std::wstring> labels = staticTexts(dialog);
    EXPECT_NE(std::find(labels.begin(), labels.end(), row.label), labels.end());
    ::SetDlgItemTextW(dialog, 1006, row.typed);
    pressButton(dialog, IDOK);
    ASSERT_TRUE(waitUntilGone(dialog));
  }
  LauncherSettings now = saved();
  EXPECT_EQ(now.BoxPercent, "0.25");
  EXPECT_EQ(now.GridScale, "1%");

  for (int box : {34107, 34108}) {
    command(box);
    HWND dialog = waitForDialog(L"Input Text");
    ASSERT_NE(dialog, nullptr);
    ::SetDlgItemTextW(dialog, 1006, L"atr0");
    pressButton(dialog, IDOK);
    ASSERT_TRUE(waitUntilGone(dialog));
  }
  now = saved();
  EXPECT_EQ(now.BoxPercent, "1");
  EXPECT_EQ(now.GridScale, "");
}

TEST_F(LauncherWindow, DataExpandOffAndOptionsShowTheirMessages) {
  launchWith(LauncherSettings{"3", "TRUE", "77", "1", "300"});
  command(34211);
  HWND box = waitForDialog(L"DATA EXPAND");
  ASSERT_NE(box, nullptr);
  std::vector<std::wstring> texts = staticTexts(box);
  EXPECT_NE(std::find(texts.begin(), texts.end(), L"DATA EXPAND OFF"), texts.end());
  pressButton(box, IDOK);
  ASSERT_TRUE(waitUntilGone(box));
  EXPECT_EQ(saved().DataExpand, "FALSE");

  command(34300);
  box = waitForDialog(L"RUN OPTIONS");
  ASSERT_NE(box, nullptr);
  texts = staticTexts(box);
  EXPECT_NE(std::find(texts.begin(), texts.end(), L"-b 3 -s 77 -f 1 -r 300 "), texts.end());
  // The box has no owner: the launcher still takes commands while it is open.
  EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
  pressButton(box, IDOK);
  ASSERT_TRUE(waitUntilGone(box));
}

TEST_F(LauncherWindow, ChartStartsOneViewerPerCommand) {
  launchWith(LauncherSettings{"3", "FALSE", "77", "1", "300", "0.5", "trad"});
  command(34400);
  command(34400);
  std::vector<std::string> records;
  waitFor([&] {
    records.clear();
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("started-", 0) == 0 && name.find(".tmp") == std::string::npos) {
        records.push_back(readFile(entry.path()));
      }
    }
    return records.size() >= 2;
  });
  ASSERT_EQ(records.size(), 2u);
  for (const std::string& record : records) {
    EXPECT_EQ(record, "-b|3|-s|77|-f|1|-r|300|-p|0.5|-g|trad\n");
  }
}

TEST_F(LauncherWindow, SecondStartLeavesTheFirstAlone) {
  launchWith(LauncherSettings{});
  Launched second = launch(folder_.path());
  ASSERT_TRUE(second.ok);
  EXPECT_EQ(waitForExit(second), 0u);
  ::CloseHandle(second.process.hProcess);
  ::CloseHandle(second.process.hThread);
  std::vector<HWND> windows = topLevelWindowsTitled(kTitle);
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0], window_);
}

TEST_F(LauncherWindow, CloseEndsTheProgramWithZeroAndSavesNothing) {
  LauncherSettings start;
  start.DataExpand = "TRUE";
  launchWith(start);
  const std::string before = readFile(settingsFile());
  // A change in memory that Close must not write.
  command(34211);
  HWND box = waitForDialog(L"DATA EXPAND");
  ASSERT_NE(box, nullptr);
  pressButton(box, IDOK);
  ASSERT_TRUE(waitUntilGone(box));
  command(105);
  EXPECT_EQ(waitForExit(launched_), 0u);
  EXPECT_EQ(readFile(settingsFile()), before);
}

}  // namespace
}  // namespace tavelund

namespace tavelund {
namespace {

// The Options command's trace, read as a debugger reads it.
TEST(LauncherTrace, OptionsSendsRuleOptionsRuleToTheDebugger) {
  ScratchFolder folder;
  std::vector<std::string> traces;
  std::atomic<DWORD> processId{0};
  std::atomic<bool> ended{false};
  std::thread debugger([&] {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + besideThisProgram(L"Vantrell.exe").wstring() + L"\"";
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                          DEBUG_ONLY_THIS_PROCESS, nullptr, folder.path().wstring().c_str(),
                          &startup, &process)) {
      ended = true;
      return;
    }
    processId = process.dwProcessId;
    DEBUG_EVENT event;
    while (::WaitForDebugEvent(&event, static_cast<DWORD>(kPatience.count() * 1000))) {
      if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
        const auto& info = event.u.DebugString;
        std::string text(info.nDebugStringLength, '\0');
        SIZE_T got = 0;
        ::ReadProcessMemory(process.hProcess, info.lpDebugStringData, text.data(), text.size(),
                            &got);
        text.resize(got);
        if (!text.empty() && text.back() == '\0') text.pop_back();
        traces.push_back(text);
      }
      if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && event.u.CreateProcessInfo.hFile) {
        ::CloseHandle(event.u.CreateProcessInfo.hFile);
      }
      if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && event.u.LoadDll.hFile) {
        ::CloseHandle(event.u.LoadDll.hFile);
      }
      const bool last = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
      ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId,
                           event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT
                               ? DBG_EXCEPTION_NOT_HANDLED
                               : DBG_CONTINUE);
      if (last) break;
    }
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    ended = true;
  });

  HWND window = nullptr;
  EXPECT_TRUE(
      waitFor([&] { return (window = ::FindWindowW(nullptr, kTitle)) != nullptr || ended; }));
  if (window) {
    ::PostMessageW(window, WM_COMMAND, 34300, 0);
    HWND box = waitForDialog(L"RUN OPTIONS");
    EXPECT_NE(box, nullptr);
    if (box) {
      pressButton(box, IDOK);
      waitUntilGone(box);
    }
    ::PostMessageW(window, WM_COMMAND, 105, 0);
  }
  debugger.join();
  const std::string rule(60, '-');
  EXPECT_EQ(traces,
            (std::vector<std::string>{rule + "\n", "-b 3 -s 20 -f 3 -r 30 ", "\n" + rule + "\n"}));
}

}  // namespace
}  // namespace tavelund
