#include <windows.h>

#include "common/codepage.h"
#include "tests/support/dynamic_library.h"

namespace tavelund::testing {

DynamicLibrary::DynamicLibrary(const std::string& path) {
  handle_ = LoadLibraryW(narrowToWide(path).c_str());
  if (handle_ == nullptr) error_ = "LoadLibraryW failed: " + std::to_string(GetLastError());
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* DynamicLibrary::symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

const char* linkLibraryFile() { return "tickwell.dll"; }

}  // namespace tavelund::testing
