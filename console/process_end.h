#pragma once
// Ending the viewer from any thread. The exit hook (set by the console
// set-up) puts the terminal back as it was. The end does not run static
// destructors, because other threads may still be using those objects.
namespace tavelund {

void setExitHook(void (*hook)());

// Flushes the standard streams, runs the exit hook once, and ends the
// process with `exitCode`.
[[noreturn]] void endProcess(int exitCode);

}  // namespace tavelund
