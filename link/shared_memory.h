#pragma once
// One named shared block with its named mutex: the channel object of the
// link library. The block and the mutex are system objects shared by every
// process that constructs a channel of the same names; this object only
// holds this process's handles on them.
//
// Windows: a paging-file-backed file mapping and a named mutex.
// POSIX: a shm object "/"+mapping name (mode 0600, zero when created) and a
// robust process-shared mutex living in a small shm object "/"+mutex name.
// Each attached process holds a shared lock on the mapping object, so the
// last one out can tell it is alone and discard both objects, and a block
// left behind by processes that all died counts as gone. Only objects of
// this user that nobody else can open are used (see the -posix file), and
// TICKWELL_NAMESPACE, when set, is put in front of every object name
// (link/object_namespace.h).
#include <cstdint>
#include <string>

namespace tavelund {

// Outside callers know the channel object by this name: keep it.
class CSharedMemory {
 public:
  // Never fails as an object: a failed step prints its message and leaves
  // the mutex, the mapping or the view missing.
  CSharedMemory(const wchar_t* mappingName, const wchar_t* mutexName, std::int32_t blockSize);
  virtual ~CSharedMemory();
  CSharedMemory(const CSharedMemory&) = delete;
  CSharedMemory& operator=(const CSharedMemory&) = delete;

  // Unbounded wait; a channel without a mutex does not lock at all. A mutex
  // whose holder died is taken over. A mutex whose object was cut is not
  // touched (and intact() is then false).
  void lock();
  void unlock();

  // Before each copy, under the lock: whether the view can be touched. A
  // process of this user may cut or grow the system objects at any time,
  // and a view of a cut object faults; a channel whose objects do not have
  // their size is lost (a message says so once) until they have it again.
  // On Windows a mapping keeps its size while anyone has a view of it: true
  // whenever there is a view.
  bool intact();

  unsigned char* view() const { return view_; }
  std::int32_t blockSize() const { return blockSize_; }
  bool hasMutex() const { return mutexHandle_ != nullptr; }

 private:
  void* mappingHandle_ = nullptr;
  void* mutexHandle_ = nullptr;
  unsigned char* view_ = nullptr;
  std::int32_t blockSize_ = 0;
};

// True when a live mapping of that name exists (the existence check of the
// lifecycle exports). Makes nothing.
bool sharedMappingExists(const wchar_t* mappingName);

// The name of the system object for a channel object name: "/" plus the
// TICKWELL_NAMESPACE prefix plus the name on POSIX (empty while that
// namespace cannot be used), the name itself (UTF-8) on Windows.
std::string systemObjectName(const wchar_t* name);

// The refusal shown when a second producer tries to start.
void showStartRefusal(const wchar_t* text, const wchar_t* caption);

// Prints a message of the library on standard output as wide text.
void printLinkMessage(const wchar_t* format, ...);

}  // namespace tavelund
