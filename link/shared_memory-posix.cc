// POSIX channels: shm objects, OFD record locks for the attach count, and a
// robust process-shared mutex per channel.
//
// Design notes:
// - Every process attached to a block holds an open-file-description read
//   lock on the whole mapping object. Such locks belong to the descriptor,
//   so they conflict even inside one process and vanish when the process
//   dies. Whoever can turn its lock into a write lock is alone.
// - An object on which nobody holds a lock was left behind by processes that
//   all died: it counts as not existing, and constructing it again starts
//   from a zeroed block.
// - Attach, detach and the existence checks run under one process-crossing
//   guard (an OFD write lock on the object "/LOW_ATTACHmutex"), so a check
//   cannot see a half-made attach and the last one out cannot unlink a block
//   that someone is just attaching to. The guard object itself is never
//   removed; it is empty.
// - The mutex object is only ever initialised under the guard; its `ready`
//   word tells later attachers that the creator finished. A creator that
//   died before setting it leaves a zero word, and the next attacher
//   initialises the mutex itself.
// - /dev/shm is shared by every local user. Only objects that this
//   effective user owns, that nobody else may open and that have the size
//   the channel needs are used; any other object of a channel's name belongs
//   to someone else: it is left alone and counts as a channel in use. Root
//   could open anybody's object, so the owner is checked, not only the mode.
// - Waiting for the guard is bounded: a process of this user that holds it
//   for long is stuck, and the caller gives up with a message instead of
//   hanging. After one give-up the process does not wait again until it
//   gets the guard once more, so attaching five channels costs one wait.
//   A detach waits less than an attach: it comes at a program's end, which
//   a stuck peer must not hold up, and giving it up loses nothing (the
//   objects are left over and cleared by the next attach).
// - A process of this user can cut (or grow) an object at any time; a view
//   of a cut object faults on access (SIGBUS). So every copy first checks
//   the size of the objects it touches (one seek each): a channel whose
//   object changed size counts as lost, with a message, until it has its
//   size again. A cut in the moment between that check and the copy is not
//   caught; nothing short of a fault handler would catch it.
// - TICKWELL_NAMESPACE, when set, is put in front of every object name, so
//   tests (or a second set of programs) can run beside a viewer and a feed
//   that use the plain names. One that does not fit is refused: nothing is
//   attached (link/object_namespace.h).
#include "link/shared_memory.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <pthread.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <string>
#include <vector>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/printable.h"
#include "link/object_namespace.h"

namespace tavelund {
namespace {

constexpr const wchar_t* kGuardName = L"LOW_ATTACHmutex";
constexpr std::uint32_t kReadyMagic = 0x54574d58;  // "TWMX"
constexpr auto kAttachPatience = std::chrono::seconds(10);
constexpr auto kDetachPatience = std::chrono::seconds(2);
constexpr auto kGuardAnnounce = std::chrono::seconds(1);

struct MutexBlock {
  pthread_mutex_t mutex;
  std::uint32_t ready;  // kReadyMagic once initialised; written under the guard
};

struct MappingHandle {
  int fd = -1;
  std::string name;
  std::atomic<bool> cut{false};  // found with another size; said once
};

// Like a Win32 mutex, the lock is recursive for the thread that holds it
// and only that thread can release it; this process's side of that is
// tracked here, so releasing never touches a lock held elsewhere.
struct MutexHandle {
  int fd = -1;
  MutexBlock* block = nullptr;
  std::string name;
  std::atomic<std::thread::id> owner{};
  int depth = 0;                 // extra acquisitions by the owner; only the owner touches it
  std::atomic<bool> cut{false};  // found with another size; said once
};

// Wide texts become UTF-8 bytes here, whatever the locale says: object
// names must be stable across processes, and the fixed messages readable.
void appendUtf8(std::string& text, const wchar_t* wide) {
  for (const wchar_t* p = wide; *p; ++p) {
    const auto u = static_cast<std::uint32_t>(*p);
    if (u < 0x80) {
      text += static_cast<char>(u);
    } else if (u < 0x800) {
      text += static_cast<char>(0xC0 | (u >> 6));
      text += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
      text += static_cast<char>(0xE0 | (u >> 12));
      text += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      text += static_cast<char>(0xF0 | ((u >> 18) & 0x07));
      text += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
      text += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
}

// A message that names an object: the name's bytes outside printable ASCII
// are shown as \xNN, so the text is the same in every locale.
void printObjectMessage(const std::string& object, const std::string& what) {
  std::wstring text;
  for (const char c : printable(object) + what)
    text += static_cast<wchar_t>(static_cast<unsigned char>(c));
  printLinkMessage(L"%ls\n", text.c_str());
}

bool ofdLock(int fd, short type, bool wait) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // the whole object, whatever its size
  for (;;) {
    if (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0) return true;
    if (errno != EINTR) return false;
  }
}

// Opens (creating if needed) an object readable and writable only by this
// user. fchmod after the open makes the mode independent of the umask.
int openObject(const std::string& name) {
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    fchmod(fd, 0600);
    return fd;
  }
  if (errno != EEXIST) return -1;
  return shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0600);
}

// Ours: this effective user owns it, nobody else may open it, and it has no
// second name through which someone else could reach it.
bool ownObject(int fd, const std::string& name, bool report) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  const bool own = S_ISREG(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0 &&
                   info.st_nlink == 1;
  if (!own && report) {
    char detail[160];
    std::snprintf(detail, sizeof detail,
                  " belongs to another user or is open to others (owner %u, mode %04o): "
                  "left alone, the channel is not used",
                  static_cast<unsigned>(info.st_uid), static_cast<unsigned>(info.st_mode & 07777));
    printObjectMessage(name, detail);
  }
  return own;
}

bool hasSize(int fd, std::size_t size) {
  struct stat info {};
  return fstat(fd, &info) == 0 && info.st_size >= 0 &&
         static_cast<std::size_t>(info.st_size) == size;
}

// Before a copy: does the attached object still have the size its view was
// made for? Says so once when it has not, and once when it has it again.
// The size comes from seeking to the object's end, which costs about a third
// of an fstat and touches nothing else: this process never reads or writes
// through the descriptor's offset (the 1 KiB channels are copied every
// millisecond while the viewer waits for a batch).
bool keepsSize(int fd, std::size_t size, const std::string& name, std::atomic<bool>& cut) {
  const off_t now = lseek(fd, 0, SEEK_END);
  const bool ok = now >= 0 && static_cast<std::size_t>(now) == size;
  if (ok != cut.load(std::memory_order_relaxed)) return ok;  // as last seen
  if (cut.exchange(!ok) != ok) return ok;                    // another thread said it
  char detail[160];
  if (ok) {
    std::snprintf(detail, sizeof detail, ": has its size again; the channel is used again");
  } else {
    std::snprintf(detail, sizeof detail,
                  ": its size changed under this process (%lld bytes, not %zu); the channel "
                  "counts as lost until it has its size again",
                  static_cast<long long>(now), size);
  }
  printObjectMessage(name, detail);
  return ok;
}

// The library works only while the namespace in force can be used. Says why
// not once for each refused namespace, not once for each object.
bool usableNamespace() {
  const ObjectNamespace space = objectNamespaceInForce();
  if (space.problem.empty()) return true;
  static std::mutex lock;
  static auto* said = new std::string;  // never destroyed
  std::lock_guard<std::mutex> guard(lock);
  if (*said != space.problem) {
    *said = space.problem;
    std::wstring text;
    for (const char c : space.problem) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    printLinkMessage(L"%ls\n", text.c_str());
  }
  return false;
}

// The guard after a give-up: skip the wait until it is had again.
std::atomic<bool> guardGivenUp{false};

// Takes the write lock on the guard, waiting at most `patience`.
bool lockGuard(int fd, const std::string& name, std::chrono::seconds patience) {
  if (ofdLock(fd, F_WRLCK, false)) {
    guardGivenUp.store(false);
    return true;
  }
  if (errno != EAGAIN && errno != EACCES) return false;
  if (guardGivenUp.load()) return false;
  const std::string seconds = std::to_string(patience.count()) + " s";
  const auto start = std::chrono::steady_clock::now();
  auto pause = std::chrono::milliseconds(1);
  bool announced = false;
  for (;;) {
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
    if (ofdLock(fd, F_WRLCK, false)) {
      guardGivenUp.store(false);
      return true;
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    if (waited >= patience) {
      printObjectMessage(
          name, ": held by another process of this user for " + seconds + "; gave up waiting");
      guardGivenUp.store(true);
      return false;
    }
    if (!announced && waited >= kGuardAnnounce) {
      printObjectMessage(name, ": held by another process; waiting up to " + seconds);
      announced = true;
    }
  }
}

// The process-crossing guard around attach, detach and existence checks.
// Not had (someone else's guard object, or a holder that does not let go):
// the caller must not touch any object.
class AttachGuard {
 public:
  explicit AttachGuard(std::chrono::seconds patience) {
    if (!usableNamespace()) return;
    const std::string name = systemObjectName(kGuardName);
    fd_ = openObject(name);
    if (fd_ < 0) {
      printObjectMessage(name, ": cannot be opened; the channels are not used");
      return;
    }
    if (!ownObject(fd_, name, true) || !lockGuard(fd_, name, patience)) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~AttachGuard() {
    if (fd_ >= 0) close(fd_);  // closing the description drops its lock
  }
  AttachGuard(const AttachGuard&) = delete;
  AttachGuard& operator=(const AttachGuard&) = delete;

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Under the guard: is the object there and held by at least one process?
// Someone else's object is there as far as a start check is concerned.
bool liveObject(const std::string& name) {
  const int fd = shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return errno == EACCES;
  if (!ownObject(fd, name, false)) {
    close(fd);
    return true;
  }
  const bool alone = ofdLock(fd, F_WRLCK, false);
  close(fd);
  return !alone;
}

MutexHandle* makeMutex(const std::string& name) {
  const int fd = openObject(name);
  if (fd < 0) return nullptr;
  if (!ownObject(fd, name, true)) {
    close(fd);
    errno = EACCES;
    return nullptr;
  }
  // Under the guard nobody else is making it: a zero size is a creator
  // that died before sizing it.
  if (hasSize(fd, 0) && ftruncate(fd, sizeof(MutexBlock)) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return nullptr;
  }
  if (!hasSize(fd, sizeof(MutexBlock))) {
    printObjectMessage(name, ": not the size of a channel mutex; the channel is not used");
    close(fd);
    errno = EINVAL;
    return nullptr;
  }
  void* memory = mmap(nullptr, sizeof(MutexBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (memory == MAP_FAILED) {
    const int error = errno;
    close(fd);
    errno = error;
    return nullptr;
  }
  auto* block = static_cast<MutexBlock*>(memory);
  if (__atomic_load_n(&block->ready, __ATOMIC_ACQUIRE) != kReadyMagic) {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    const int rc = pthread_mutex_init(&block->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (rc != 0) {
      munmap(memory, sizeof(MutexBlock));
      close(fd);
      errno = rc;
      return nullptr;
    }
    __atomic_store_n(&block->ready, kReadyMagic, __ATOMIC_RELEASE);
  }
  auto* handle = new MutexHandle;
  handle->fd = fd;
  handle->block = block;
  handle->name = name;
  return handle;
}

// Mutex handles left open on purpose stay reachable here until the process
// ends, as an open Win32 handle would.
void keepOpen(MutexHandle* handle) {
  static std::mutex lock;
  static auto* kept = new std::vector<MutexHandle*>;  // never destroyed
  std::lock_guard<std::mutex> guard(lock);
  kept->push_back(handle);
}

void closeMutex(MutexHandle* handle) {
  munmap(handle->block, sizeof(MutexBlock));
  close(handle->fd);
  delete handle;
}

}  // namespace

ObjectNamespace objectNamespaceInForce() {
  return readObjectNamespace(std::getenv(kNamespaceVariable));
}

std::string systemObjectName(const wchar_t* name) {
  const ObjectNamespace space = objectNamespaceInForce();
  if (!space.problem.empty()) return {};
  std::string text = "/" + space.prefix;
  appendUtf8(text, name);
  // A slash inside would make the shm name invalid.
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '/') text[i] = '_';
  }
  return text;
}

CSharedMemory::CSharedMemory(const wchar_t* mappingName, const wchar_t* mutexName,
                             std::int32_t blockSize)
    : blockSize_(blockSize) {
  if (!usableNamespace()) {
    printLinkMessage(L"CreateMutex error: %d\n", EINVAL);
    return;
  }
  AttachGuard guard(kAttachPatience);
  if (!guard.held()) {
    printLinkMessage(L"CreateMutex error: %d\n", EACCES);
    return;
  }
  const std::string mutexObject = systemObjectName(mutexName);
  const std::string mappingObject = systemObjectName(mappingName);

  MutexHandle* mutex = makeMutex(mutexObject);
  if (mutex == nullptr) {
    printLinkMessage(L"CreateMutex error: %d\n", errno);
    return;
  }
  mutexHandle_ = mutex;

  const int fd = openObject(mappingObject);
  if (fd < 0 || blockSize <= 0 || !ownObject(fd, mappingObject, true)) {
    if (fd >= 0) close(fd);
    printLinkMessage(L"Can not create file mapping\n");
    return;
  }
  // A write lock means nobody else is attached: either we just made the
  // object or it was left by processes that died. Start from zeros and the
  // asked size, then keep only the shared lock.
  bool ok = true;
  if (ofdLock(fd, F_WRLCK, false)) {
    ok = ftruncate(fd, 0) == 0 && ftruncate(fd, blockSize) == 0;
  }
  ok = ok && ofdLock(fd, F_RDLCK, false);
  if (!ok) {
    close(fd);
    printLinkMessage(L"Can not create file mapping\n");
    return;
  }
  mappingHandle_ = new MappingHandle{fd, mappingObject};

  void* memory = MAP_FAILED;
  // A block keeps its creator's size. A view of another size is refused: a
  // smaller object would fault on access behind its end.
  if (hasSize(fd, static_cast<std::size_t>(blockSize))) {
    memory =
        mmap(nullptr, static_cast<size_t>(blockSize), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  if (memory == MAP_FAILED) {
    printLinkMessage(L"Can not map file into file.\n");
    close(fd);  // drops this process's attach lock
    delete static_cast<MappingHandle*>(mappingHandle_);
    mappingHandle_ = nullptr;
    return;
  }
  view_ = static_cast<unsigned char*>(memory);
}

CSharedMemory::~CSharedMemory() {
  // Without the guard nothing is discarded: the objects stay, and count as
  // left over once nobody holds them.
  AttachGuard guard(kDetachPatience);
  bool alone = false;
  if (view_ != nullptr) {
    munmap(view_, static_cast<size_t>(blockSize_));
    view_ = nullptr;
  }
  if (mappingHandle_ != nullptr) {
    auto* mapping = static_cast<MappingHandle*>(mappingHandle_);
    // Turning the shared lock into a write lock succeeds only when no other
    // process is attached: the last one out discards the block.
    alone = guard.held() && ofdLock(mapping->fd, F_WRLCK, false);
    if (alone) shm_unlink(mapping->name.c_str());
    close(mapping->fd);
    delete mapping;
    mappingHandle_ = nullptr;
  }
  if (mutexHandle_ != nullptr) {
    auto* mutex = static_cast<MutexHandle*>(mutexHandle_);
    if (mutex->owner.load() == std::this_thread::get_id()) {
      unlock();
      // Destroyed while this thread still held the lock: released now, and
      // the handle stays open as a sign of the caller's fault.
      printLinkMessage(L"UnInitializeSharedMemory : mutex : Error\n");
      keepOpen(mutex);
    } else {
      if (alone) shm_unlink(mutex->name.c_str());
      closeMutex(mutex);
      mutexHandle_ = nullptr;
    }
  }
}

void CSharedMemory::lock() {
  if (mutexHandle_ == nullptr) return;
  auto* mutex = static_cast<MutexHandle*>(mutexHandle_);
  const auto self = std::this_thread::get_id();
  if (mutex->owner.load() == self) {
    ++mutex->depth;
    return;
  }
  // Locking a cut mutex object would fault; the copy is then refused too.
  if (!keepsSize(mutex->fd, sizeof(MutexBlock), mutex->name, mutex->cut)) return;
  const int rc = pthread_mutex_lock(&mutex->block->mutex);
  if (rc == EOWNERDEAD) {
    // The holder died during a copy; a block copy leaves nothing to repair
    // beyond a torn text, which the next writer replaces. Take it over.
    pthread_mutex_consistent(&mutex->block->mutex);
  } else if (rc != 0) {
    return;  // not acquired: the copy goes on unlocked, as without a mutex
  }
  mutex->owner.store(self);
  mutex->depth = 0;
}

bool CSharedMemory::intact() {
  if (view_ == nullptr) return false;
  if (mutexHandle_ != nullptr && static_cast<MutexHandle*>(mutexHandle_)->cut.load()) return false;
  auto* mapping = static_cast<MappingHandle*>(mappingHandle_);
  return keepsSize(mapping->fd, static_cast<std::size_t>(blockSize_), mapping->name, mapping->cut);
}

void CSharedMemory::unlock() {
  if (mutexHandle_ == nullptr) return;
  auto* mutex = static_cast<MutexHandle*>(mutexHandle_);
  if (mutex->owner.load() != std::this_thread::get_id()) return;
  if (mutex->depth > 0) {
    --mutex->depth;
    return;
  }
  mutex->owner.store(std::thread::id{});
  pthread_mutex_unlock(&mutex->block->mutex);
}

bool sharedMappingExists(const wchar_t* mappingName) {
  if (mappingName == nullptr) return false;
  AttachGuard guard(kAttachPatience);
  // Without the guard nothing can be told apart: count it as in use.
  if (!guard.held()) return true;
  return liveObject(systemObjectName(mappingName));
}

void showStartRefusal(const wchar_t* text, const wchar_t* caption) {
  // No message box here: caption and text go to standard error.
  std::string message;
  appendUtf8(message, caption);
  message += '\n';
  appendUtf8(message, text);
  message += '\n';
  std::fputs(message.c_str(), stderr);
  std::fflush(stderr);
}

void printLinkMessage(const wchar_t* format, ...) {
  wchar_t text[512];
  va_list args;
  va_start(args, format);
  const int length = std::vswprintf(text, sizeof text / sizeof text[0], format, args);
  va_end(args);
  if (length < 0) return;
  // A byte-oriented standard output (the usual case for a C++ program) would
  // silently drop wide output, so the text is then written as bytes.
  if (std::fwide(stdout, 0) > 0) {
    std::fputws(text, stdout);
  } else {
    std::string bytes;
    appendUtf8(bytes, text);
    std::fputs(bytes.c_str(), stdout);
  }
  std::fflush(stdout);
}

}  // namespace tavelund
