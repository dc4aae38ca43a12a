#include "intake/link_port.h"

#include "link/tickwell.h"

namespace tavelund {

LinkPort linkLibraryPort() { return LinkPort{&setsendcheckMT5, &getSendCheckMT5, &ReadLinesMT5}; }

}  // namespace tavelund
