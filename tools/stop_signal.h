#pragma once
// Ctrl-C and termination requests turn into a flag that a tool's main loop
// polls, so it can end cleanly (and release the channels) instead of dying.
namespace tavelund {

void installStopHandler();
bool stopRequested();

}  // namespace tavelund
