#include <windows.h>
#include <conio.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "console/process_end.h"
#include "console/terminal.h"

namespace tavelund {
namespace {

HANDLE inputHandle = INVALID_HANDLE_VALUE;
HANDLE outputHandle = INVALID_HANDLE_VALUE;
WORD savedAttributes = 0;
DWORD savedInputMode = 0;
bool inputModeSaved = false;
CONSOLE_CURSOR_INFO savedCursor{25, TRUE};
std::atomic<bool> consoleHeld{false};

[[noreturn]] void consoleFailure(const wchar_t* text, const wchar_t* caption) {
  MessageBoxW(nullptr, text, caption, MB_OK);
  endProcess(1);
}

// Key-down events that reached the console's input buffer since the last
// pass. A console without a keyboard state of its own (a terminal that
// feeds the console, as under Wine) reports keys only this way.
void collectConsoleKeys(KeySet& down) {
  for (;;) {
    DWORD waiting = 0;
    if (!GetNumberOfConsoleInputEvents(inputHandle, &waiting) || waiting == 0) return;
    INPUT_RECORD records[64];
    DWORD got = 0;
    if (!ReadConsoleInputW(inputHandle, records, 64, &got) || got == 0) return;
    for (DWORD i = 0; i < got; ++i) {
      if (records[i].EventType != KEY_EVENT || !records[i].Event.KeyEvent.bKeyDown) continue;
      const WORD key = records[i].Event.KeyEvent.wVirtualKeyCode;
      if (key < down.size()) down.set(key);
    }
  }
}

}  // namespace

void initConsole() {
  inputHandle = GetStdHandle(STD_INPUT_HANDLE);
  outputHandle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (inputHandle == INVALID_HANDLE_VALUE || outputHandle == INVALID_HANDLE_VALUE) {
    consoleFailure(L"GetStdHandle", L"Console Error");
  }
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(outputHandle, &info)) {
    consoleFailure(L"GetConsoleScreenBufferInfo", L"Console Error");
  }
  savedAttributes = info.wAttributes;
  // Kept so that the exit can give the input mode back as it was found.
  inputModeSaved = GetConsoleMode(inputHandle, &savedInputMode) != 0;
  GetConsoleCursorInfo(outputHandle, &savedCursor);
  consoleHeld.store(true);
  resetScreen();
  std::atexit(restoreConsole);
  setExitHook(restoreConsole);
}

void resetScreen() {
  std::fflush(stdout);  // text written so far belongs above the layout
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(output, &info)) {
    consoleFailure(L"SetConsoleTextAttribute", L"Error getting console screen buffer info.");
  }
  const int32_t width = info.srWindow.Right - info.srWindow.Left + 1;
  const int32_t height = info.srWindow.Bottom - info.srWindow.Top + 1;
  consoleWidth.store(width);
  consoleHeight.store(height);
  SetConsoleTextAttribute(output, info.wAttributes);
  CONSOLE_CURSOR_INFO cursor{1, FALSE};
  SetConsoleCursorInfo(output, &cursor);
  SetConsoleScreenBufferSize(output, COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)});
  SMALL_RECT window{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
  SetConsoleWindowInfo(output, TRUE, &window);
  DWORD written = 0;
  FillConsoleOutputCharacterW(output, L' ', static_cast<DWORD>(width) * static_cast<DWORD>(height),
                              COORD{0, 0}, &written);
  SetConsoleCursorPosition(outputHandle, COORD{0, 0});
}

void restoreConsole() {
  if (!consoleHeld.exchange(false)) return;
  std::fflush(stdout);
  if (inputModeSaved) SetConsoleMode(inputHandle, savedInputMode);
  SetConsoleTextAttribute(outputHandle, savedAttributes);
  SetConsoleCursorInfo(outputHandle, &savedCursor);
}

void setConsoleTitle(const char* title) { SetConsoleTitleA(title); }

void ringBell() {
  // The console's own bell: a console in its processed output mode (the
  // mode it starts in) plays the system's beep for the BEL character, and a
  // terminal behind the console gets the byte.
  std::fflush(stdout);
  DWORD written = 0;
  WriteConsoleA(outputHandle, "\a", 1, &written, nullptr);
}

bool readWindowSize(int32_t& width, int32_t& height) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  // A console output handle is signalled at once on Windows, so an endless
  // wait costs nothing there. Other consoles (Wine's) signal it only while
  // input is pending, which the input thread consumes: an endless wait would
  // then never see the quit key. A zero time-out keeps the Windows
  // behaviour and cannot hang.
  WaitForSingleObject(output, 0);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(output, &info)) return false;
  width = info.srWindow.Right - info.srWindow.Left + 1;
  height = info.srWindow.Bottom - info.srWindow.Top + 1;
  return true;
}

void waitForScreenEvent(std::chrono::milliseconds period) {
  std::this_thread::sleep_until(std::chrono::steady_clock::now() + period);
}

void wakeScreenWatch() {}

KeySet readKeys() {
  KeySet down;
  if (GetAsyncKeyState(vk::kQ) & 0x8000) down.set(vk::kQ);
  for (const KeyCommand& entry : keyboardCommands()) {
    if (GetAsyncKeyState(entry.key) & 0x8000) down.set(static_cast<size_t>(entry.key));
  }
  collectConsoleKeys(down);
  return down;
}

void waitForAnyKey() { _getch(); }

}  // namespace tavelund
