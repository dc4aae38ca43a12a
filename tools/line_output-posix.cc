#include <fcntl.h>
#include <unistd.h>

#include "tools/line_output.h"

namespace tavelund {

std::FILE* standardOutputForLines() {
  std::fflush(stdout);
  // Not inherited: the programs of --exec write to standard error.
  const int own = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (own < 0) return stdout;
  std::FILE* lines = fdopen(own, "w");
  if (lines == nullptr) {
    close(own);
    return stdout;
  }
  dup2(STDERR_FILENO, STDOUT_FILENO);
  return lines;
}

}  // namespace tavelund
