// Run in a real (Wine) console: the exit restore gives the input mode back
// as it was found at start, whatever the run left it at.
//   console_restore_win32.exe RESULT_FILE
#include <windows.h>

#include <cstdio>

#include "console/terminal.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD before = 0;
  const bool readable = GetConsoleMode(input, &before) != 0;
  tavelund::initConsole();
  SetConsoleMode(input, ENABLE_PROCESSED_INPUT);  // what a run may leave behind
  tavelund::restoreConsole();
  DWORD after = 0;
  GetConsoleMode(input, &after);
  const bool ok = readable && after == before && before != ENABLE_PROCESSED_INPUT;
  if (FILE* result = std::fopen(argv[1], "w")) {
    std::fprintf(result, "%s before=%lu after=%lu\n", ok ? "ok" : "FAILED",
                 static_cast<unsigned long>(before), static_cast<unsigned long>(after));
    std::fclose(result);
  }
  return ok ? 0 : 1;
}
