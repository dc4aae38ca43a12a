#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "console/module.h"

namespace tavelund {

std::filesystem::path programDirectory() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return std::filesystem::current_path();
  return std::filesystem::path(std::string(buffer, static_cast<size_t>(length))).parent_path();
}

const char* linkLibraryFileName() { return "libtickwell.so"; }

LinkLibrary bindLinkLibrary() {
  LinkLibrary library;
  library.path = programDirectory() / linkLibraryFileName();
  library.handle = ::dlopen(library.path.c_str(), RTLD_NOW);
  return library;
}

bool releaseLinkLibrary(LinkLibrary& library) {
  if (library.handle == nullptr) return false;
  const bool released = ::dlclose(library.handle) == 0;
  library.handle = nullptr;
  return released;
}

}  // namespace tavelund
