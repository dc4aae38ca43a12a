// Win32 channels: a named mutex and a paging-file-backed file mapping. The
// system discards a block when the last process closes its handles, and
// hands an abandoned mutex to the next waiter.
#include "link/shared_memory.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <windows.h>

#include "link/object_namespace.h"

namespace tavelund {

CSharedMemory::CSharedMemory(const wchar_t* mappingName, const wchar_t* mutexName,
                             std::int32_t blockSize)
    : blockSize_(blockSize) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName);
  if (mutex == nullptr) {
    printLinkMessage(L"CreateMutex error: %d\n", static_cast<int>(GetLastError()));
    return;
  }
  mutexHandle_ = mutex;
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(blockSize), mappingName);
  if (mapping == nullptr) {
    printLinkMessage(L"Can not create file mapping\n");
    return;
  }
  mappingHandle_ = mapping;
  void* view =
      MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(blockSize));
  if (view == nullptr) {
    printLinkMessage(L"Can not map file into file.\n");
    CloseHandle(mapping);
    mappingHandle_ = nullptr;
    return;
  }
  view_ = static_cast<unsigned char*>(view);
}

CSharedMemory::~CSharedMemory() {
  if (view_ != nullptr) {
    UnmapViewOfFile(view_);
    view_ = nullptr;
  }
  if (mappingHandle_ != nullptr) {
    CloseHandle(mappingHandle_);
    mappingHandle_ = nullptr;
  }
  if (mutexHandle_ != nullptr && mutexHandle_ != INVALID_HANDLE_VALUE) {
    if (ReleaseMutex(mutexHandle_)) {
      // Destroyed while this thread still held the lock: released now, and
      // the handle stays open as a sign of the caller's fault.
      printLinkMessage(L"UnInitializeSharedMemory : mutex : Error\n");
    } else {
      CloseHandle(mutexHandle_);
      mutexHandle_ = nullptr;
    }
  }
}

void CSharedMemory::lock() {
  // WAIT_ABANDONED also hands the mutex over: the holder died mid-copy.
  if (mutexHandle_ != nullptr) WaitForSingleObject(mutexHandle_, INFINITE);
}

// A mapping cannot shrink under a view: the system keeps its size while any
// handle or view of it exists, so a view never faults behind its end.
bool CSharedMemory::intact() { return view_ != nullptr; }

void CSharedMemory::unlock() {
  if (mutexHandle_ != nullptr && mutexHandle_ != INVALID_HANDLE_VALUE) ReleaseMutex(mutexHandle_);
}

bool sharedMappingExists(const wchar_t* mappingName) {
  if (mappingName == nullptr) return false;
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, mappingName);
  if (mapping == nullptr) return false;
  CloseHandle(mapping);
  return true;
}

// The names of this platform's objects carry no namespace: the objects live
// in the caller's session, and TICKWELL_NAMESPACE has no effect here.
ObjectNamespace objectNamespaceInForce() { return {}; }

std::string systemObjectName(const wchar_t* name) {
  std::string text;
  const int length = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return text;
  text.resize(static_cast<size_t>(length));
  WideCharToMultiByte(CP_UTF8, 0, name, -1, text.data(), length, nullptr, nullptr);
  text.resize(static_cast<size_t>(length - 1));
  return text;
}

void showStartRefusal(const wchar_t* text, const wchar_t* caption) {
  MessageBoxW(nullptr, text, caption, MB_OK);
}

void printLinkMessage(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfwprintf(stdout, format, args);
  va_end(args);
  std::fflush(stdout);
}

}  // namespace tavelund
