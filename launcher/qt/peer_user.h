#pragma once
// Who is at the other end of a connected local socket.

namespace tavelund {

// True when the process at the other end of the connected Unix socket
// `descriptor` runs as the effective user of this one (as the kernel saw it
// at connect or listen time). False when it does not or cannot be told.
bool peerIsThisUser(long long descriptor);

}  // namespace tavelund
