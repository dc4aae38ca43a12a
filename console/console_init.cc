// The console is taken before main runs, so that a console the viewer cannot
// use ends the run before anything else happens; from then on running out
// of memory ends it with the terminal given back and a message. Linked only into the
// viewer program, never into the libraries its tests use.
#include "console/process_end.h"
#include "console/terminal.h"

namespace {
const bool consoleTaken =
    (tavelund::initConsole(),
     tavelund::endOnAllocationFailure("ConsoleTavelundPF: out of memory; the viewer has ended."),
     true);
}  // namespace
