#pragma once
// Test support: load a library by file name and resolve exports by name, as
// the trading terminal does with the link library.
#include <string>

namespace tavelund::testing {

class DynamicLibrary {
 public:
  explicit DynamicLibrary(const std::string& path);
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  void* symbol(const char* name) const;
  std::string error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

// The link library's file name on this platform.
const char* linkLibraryFile();

}  // namespace tavelund::testing
