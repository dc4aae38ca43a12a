#include <windows.h>

#include "console/module.h"

namespace tavelund {

std::filesystem::path programDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, length);
  const size_t slash = path.find_last_of(L'\\');
  return std::filesystem::path(slash == std::wstring::npos ? std::wstring()
                                                           : path.substr(0, slash));
}

const char* linkLibraryFileName() { return "tickwell.dll"; }

LinkLibrary bindLinkLibrary() {
  LinkLibrary library;
  library.path = std::filesystem::path(programDirectory().wstring() + L"\\tickwell.dll");
  library.handle = LoadLibraryW(library.path.c_str());
  return library;
}

bool releaseLinkLibrary(LinkLibrary& library) {
  if (library.handle == nullptr) return false;
  const bool released = FreeLibrary(static_cast<HMODULE>(library.handle)) != 0;
  library.handle = nullptr;
  return released;
}

}  // namespace tavelund
