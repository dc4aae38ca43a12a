#pragma once
// Ending the viewer from any thread. The exit hook (set by the console
// set-up) puts the terminal back as it was. The end does not run static
// destructors, because other threads may still be using those objects.
namespace tavelund {

void setExitHook(void (*hook)());

// Flushes the standard streams, runs the exit hook once, and ends the
// process with `exitCode`.
[[noreturn]] void endProcess(int exitCode);

// From then on a memory request that cannot be met, on any thread, ends the
// process with 1: the exit hook runs first (the terminal is given back), so
// that the message written after it to standard error stays readable.
void endOnAllocationFailure(const char* message);

}  // namespace tavelund
