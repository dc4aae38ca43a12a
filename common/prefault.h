#pragma once
// Fresh memory costs a page fault per page on first write; for the hundreds
// of MiB a full conversion fills, that is most of its time. A Prefault asks
// the system, on a thread of its own, to back ranges that are about to be
// written, staying ahead of the writer. Contents are never touched: the
// writer may fill the same ranges at the same time. Where the system offers
// no such request it does nothing.
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace tavelund {

struct PrefaultRange {
  const void* data = nullptr;
  size_t bytes = 0;
};

// The room of `list` for `count` entries from its current size.
template <typename List>
PrefaultRange roomOf(const List& list, size_t count) {
  using Entry = typename List::value_type;
  const size_t usable = list.capacity() - list.size();
  return {list.data() + list.size(), sizeof(Entry) * (count < usable ? count : usable)};
}

// Asks the system to back `bytes` from `data` with large pages where it can:
// one fault then fills many pages' worth, and the lists of a full conversion
// are written from start to end anyway. Nothing happens where that is not
// offered.
void adviseLargePages(const void* data, size_t bytes);

class Prefault {
 public:
  // Below this many bytes in all, the faults cost less than a thread.
  static constexpr size_t kWorthBytes = size_t{16} << 20;

  // The writer will fill the ranges evenly while it does `total` steps; it
  // reports its steps with reached(), and the backing keeps a little ahead,
  // so that a writer that stops early leaves little backed room unused.
  Prefault(std::vector<PrefaultRange> ranges, size_t total);
  Prefault(const Prefault&) = delete;
  Prefault& operator=(const Prefault&) = delete;
  ~Prefault();  // stops and waits for the thread

  void reached(size_t done) { done_.store(done, std::memory_order_relaxed); }

 private:
  void run();

  std::vector<PrefaultRange> ranges_;
  size_t total_ = 0;
  std::atomic<size_t> done_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace tavelund
