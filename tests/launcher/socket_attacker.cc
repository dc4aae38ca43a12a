// The other local user in the single-instance attack tests:
//   launcher_socket_attacker listen PATH...  listens on every PATH (open to
//       all), prints "listening" once all are bound and answers "ok" to
//       whatever comes, until it is killed;
//   launcher_socket_attacker raise PATH      asks the launcher at PATH to come
//       forward; exit 0 when it answered "ok", 1 when it closed or stayed
//       silent, 2 when nothing listens there.
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kAnswerMilliseconds = 30000;

bool addressOf(const char* path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof address.sun_path) return false;
  std::strcpy(address.sun_path, path);
  return true;
}

int listenOn(int count, char** paths) {
  std::vector<pollfd> sockets;
  for (int i = 0; i < count; ++i) {
    sockaddr_un address;
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ::unlink(paths[i]);
    if (server < 0 || !addressOf(paths[i], address) ||
        ::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(server, 8) != 0 || ::chmod(paths[i], 0777) != 0) {
      std::perror(paths[i]);
      return 2;
    }
    sockets.push_back({server, POLLIN, 0});
  }
  std::printf("listening\n");
  std::fflush(stdout);
  for (;;) {
    if (::poll(sockets.data(), sockets.size(), -1) < 0) continue;
    for (pollfd& server : sockets) {
      if (!(server.revents & POLLIN)) continue;
      const int peer = ::accept(server.fd, nullptr, nullptr);
      if (peer < 0) continue;
      pollfd request{peer, POLLIN, 0};
      char buffer[64];
      if (::poll(&request, 1, kAnswerMilliseconds) > 0 && ::read(peer, buffer, sizeof buffer) > 0) {
        [[maybe_unused]] ssize_t sent = ::send(peer, "ok\n", 3, MSG_NOSIGNAL);
      }
      ::close(peer);
    }
  }
}

int askToRaise(const char* path) {
  sockaddr_un address;
  const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (socket < 0 || !addressOf(path, address) ||
      ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::perror(path);
    return 2;
  }
  // The launcher may close on a stranger before the request is out: no SIGPIPE then.
  [[maybe_unused]] ssize_t sent = ::send(socket, "raise\n", 6, MSG_NOSIGNAL);
  std::string answer;
  pollfd reply{socket, POLLIN, 0};
  char buffer[64];
  while (answer.find('\n') == std::string::npos && ::poll(&reply, 1, kAnswerMilliseconds) > 0) {
    const ssize_t got = ::read(socket, buffer, sizeof buffer);
    if (got <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(got));
  }
  std::printf("%s\n", answer.empty() ? "no answer" : answer.c_str());
  return answer.rfind("ok", 0) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "listen") == 0) return listenOn(argc - 2, argv + 2);
  if (argc == 3 && std::strcmp(argv[1], "raise") == 0) return askToRaise(argv[2]);
  std::fprintf(stderr, "usage: %s listen PATH... | raise PATH\n", argv[0]);
  return 2;
}
