#pragma once
// The console the viewer draws on. Windows: the Win32 console calls.
// Elsewhere: an ANSI terminal with the same effect (a window-sized screen
// without scroll-back, hidden cursor, cleared screen, cursor home, keys read
// raw and without echo, everything put back on every way out).
#include <atomic>
#include <chrono>
#include <cstdint>

#include "console/keys.h"

namespace tavelund {

// The window size in cells as last laid out (80 x 40 until the first layout).
inline std::atomic<int32_t> consoleWidth{80};
inline std::atomic<int32_t> consoleHeight{40};

// Takes the console: checks the standard handles and the screen, saves what
// the exit restores, registers restoreConsole for every end of the process.
// A console that cannot be used ends the process with 1 after its message.
void initConsole();

// Window-sized screen, hidden cursor, cleared, cursor home; updates
// consoleWidth/consoleHeight.
void resetScreen();

// Puts back the input mode, text attributes and screen saved at start. Runs
// once, whichever end comes first.
void restoreConsole();

// The window's title. On an ANSI terminal it is shown from the first layout
// on (and put back at the end), so that a run that never draws, such as -m,
// writes nothing to the terminal at all.
void setConsoleTitle(const char* title);

// The bell, once: BEL through the terminal; on Windows through the console,
// which gives it the system's beep.
void ringBell();

// The current window size; false when it cannot be read.
bool readWindowSize(int32_t& width, int32_t& height);

// The size watch's pause between two looks at the window size. Windows:
// `period` (2 ms). On an ANSI terminal the kernel announces every size
// change (SIGWINCH), so the pause lasts until that announcement or a
// wakeScreenWatch() call, with a long safety period; the watch still sees a
// change at once, without waking 500 times a second.
void waitForScreenEvent(std::chrono::milliseconds period);

// Ends the current waitForScreenEvent early (the quit key was pressed).
void wakeScreenWatch();

// The keys down for this pass of the input thread.
KeySet readKeys();

// Waits for one key press (no echo, no Enter).
void waitForAnyKey();

}  // namespace tavelund
