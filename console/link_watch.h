#pragma once
// The link's exports as the running viewer calls them, each call timed.
// Every export holds a channel's mutex for a block copy and waits for it
// without a time-out; a peer that keeps a mutex forever blocks the calling
// thread for good. The end of the run asks here whether that happened.
#include <chrono>

#include "link/link_calls.h"

namespace tavelund {

// `calls` with every call timed. One set per process: bound once, before
// the viewer's threads start. Calls never overlap (the view thread and the
// save thread take turns).
LinkCalls watchedLinkCalls(const LinkCalls& calls);

// How long the call now in progress has been running; zero when none is.
std::chrono::milliseconds linkCallDuration();

}  // namespace tavelund
