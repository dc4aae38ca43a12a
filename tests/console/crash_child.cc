// Takes the terminal as the viewer does (alternate screen, hidden cursor,
// raw keys without echo), then crashes on purpose:
//   crash_child BUS|SEGV|ABRT|FPE|NOMEM
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "console/process_end.h"
#include "console/terminal.h"

namespace {

// The way a hostile peer did it: a shared block truncated under the mapping.
void busError() {
  char name[] = "/tmp/crash_child_XXXXXX";
  const int fd = ::mkstemp(name);
  ::unlink(name);
  if (fd < 0 || ::ftruncate(fd, 8192) != 0) return;
  auto* view =
      static_cast<volatile char*>(::mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
  if (view == MAP_FAILED) return;
  if (::ftruncate(fd, 0) != 0) return;
  view[4096] = 1;
}

// Deliberately undefined: kept out of the sanitizer's checks, so that the
// machine itself faults.
__attribute__((no_sanitize("undefined"))) void segmentationFault() {
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}

__attribute__((no_sanitize("undefined"))) void floatingPointError() {
  // Neither operand known: a real division (1 / x alone may become a compare).
  volatile int numerator = 7;
  volatile int zero = 0;
  volatile int quotient = numerator / zero;
  (void)quotient;
}

// A request no machine can meet, made on a thread of its own as the
// viewer's conversion threads would make it.
void outOfMemory() {
  tavelund::endOnAllocationFailure("crash child: out of memory");
  std::thread([] {
    void* never = ::operator new (size_t{1} << 60);
    ::operator delete(never);
  }).join();
}

}  // namespace

// In a sanitizer build the crash must reach the terminal's own handler, not
// the sanitizer's report (this hook is read only where the sanitizer is in).
extern "C" const char* __asan_default_options() {
  return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0:allocator_may_return_null=1";
}

int main(int argc, char** argv) {
  const std::string how = argc > 1 ? argv[1] : "";
  tavelund::initConsole();
  tavelund::setConsoleTitle("crash child");
  tavelund::resetScreen();
  std::printf("CRASH-SCREEN %s\n", how.c_str());
  std::fflush(stdout);
  if (how == "BUS") busError();
  if (how == "SEGV") segmentationFault();
  if (how == "ABRT") std::abort();
  if (how == "FPE") floatingPointError();
  if (how == "NOMEM") outOfMemory();
  return 3;  // no crash: the test notices the exit code
}
