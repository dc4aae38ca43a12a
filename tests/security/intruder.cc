// The other local user of the attack tests, started as that user. It only
// touches /dev/shm objects named on its command line.
//
//   intruder squat [--private] [--hold GUARD] NAME=SIZE=TEXT...
//       makes each object (mode 0666, or 0600 with --private; SIZE bytes,
//       TEXT at its start), keeps
//       a shared lock on it so it looks in use, a write lock on GUARD, says
//       "ready" and stays until it is killed or its parent (the test) is gone.
//   intruder open NAME...
//       tries to open each object for reading and for writing and to cut it
//       to size 0; prints one line per object and attempt, "refused" or
//       "ALLOWED".
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

bool lockWhole(int fd, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

int squat(int argc, char** argv) {
  std::string hold;
  mode_t mode = 0666;
  int first = 2;
  if (argc > first && std::strcmp(argv[first], "--private") == 0) {
    mode = 0600;
    ++first;
  }
  if (argc > first + 1 && std::strcmp(argv[first], "--hold") == 0) {
    hold = argv[first + 1];
    first += 2;
  }
  umask(0);
  for (int i = first; i < argc; ++i) {
    const std::string entry = argv[i];
    const size_t a = entry.find('='), b = entry.find('=', a + 1);
    if (a == std::string::npos || b == std::string::npos) return 2;
    const std::string name = entry.substr(0, a);
    const long size = std::atol(entry.substr(a + 1, b - a - 1).c_str());
    const std::string text = entry.substr(b + 1);
    const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, mode);
    if (fd < 0) {
      std::printf("cannot make %s\n", name.c_str());
      return 1;
    }
    fchmod(fd, mode);
    if (ftruncate(fd, size) != 0 ||
        (!text.empty() && pwrite(fd, text.data(), text.size(), 0) < 0)) {
      return 1;
    }
    if (!lockWhole(fd, name == hold ? F_WRLCK : F_RDLCK)) return 1;
    // The descriptor stays open: the locks last as long as this process.
  }
  std::printf("ready\n");
  std::fflush(stdout);
  const pid_t parent = getppid();
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  while (getppid() == parent && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}

int tryOpen(int argc, char** argv) {
  for (int i = 2; i < argc; ++i) {
    const char* name = argv[i];
    const int reader = shm_open(name, O_RDONLY, 0);
    std::printf("%s read %s\n", name, reader < 0 ? "refused" : "ALLOWED");
    if (reader >= 0) close(reader);
    const int writer = shm_open(name, O_RDWR, 0);
    std::printf("%s write %s\n", name, writer < 0 ? "refused" : "ALLOWED");
    if (writer >= 0) {
      std::printf("%s truncate %s\n", name, ftruncate(writer, 0) != 0 ? "refused" : "ALLOWED");
      close(writer);
    }
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "squat") == 0) return squat(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "open") == 0) return tryOpen(argc, argv);
  std::fprintf(
      stderr,
      "usage: intruder squat [--private] [--hold GUARD] NAME=SIZE=TEXT... | open NAME...\n");
  return 2;
}
