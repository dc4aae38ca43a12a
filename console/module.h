#pragma once
// The running program's own folder, and the link library loaded from it.
#include <filesystem>
#include <string>

#include "common/path_text.h"

namespace tavelund {

// The folder of the running executable (its module file name up to the
// last separator).
std::filesystem::path programDirectory();

struct LinkLibrary {
  void* handle = nullptr;
  std::filesystem::path path;  // full path it was loaded from
};

// The file name of the link library on this platform.
const char* linkLibraryFileName();

// Loads the link library from the program's folder; handle stays null on
// failure.
LinkLibrary bindLinkLibrary();

// Releases what bindLinkLibrary loaded; false when the system refuses.
bool releaseLinkLibrary(LinkLibrary& library);

}  // namespace tavelund
