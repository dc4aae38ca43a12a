#include "launcher/qt/peer_user.h"

#include <sys/socket.h>
#include <unistd.h>

namespace tavelund {

bool peerIsThisUser(long long descriptor) {
  if (descriptor < 0) return false;
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
      size != sizeof peer) {
    return false;
  }
  return peer.uid == ::geteuid();
}

}  // namespace tavelund
