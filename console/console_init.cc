// The console is taken before main runs, so that a console the viewer cannot
// use ends the run before anything else happens. Linked only into the
// viewer program, never into the libraries its tests use.
#include "console/terminal.h"

namespace {
const bool consoleTaken = (tavelund::initConsole(), true);
}  // namespace
