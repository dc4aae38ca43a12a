#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <system_error>

#include "common/deadline.h"
#include "common/prefault.h"

namespace tavelund {

void adviseLargePages(const void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kLargePage - 1);
  // Whole large pages only: the pages at either end may hold others' data.
  if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data, (void)bytes;
#endif
}

Prefault::Prefault(std::vector<PrefaultRange> ranges, size_t total)
    : ranges_(std::move(ranges)), total_(total) {
#ifdef MADV_POPULATE_WRITE
  size_t bytes = 0;
  for (const PrefaultRange& range : ranges_) bytes += range.bytes;
  if (bytes < kWorthBytes) return;
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    // No thread to be had: the writer's own faults back the memory.
  }
#endif
}

Prefault::~Prefault() {
  stop_.store(true, std::memory_order_relaxed);
  if (thread_.joinable()) thread_.join();
}

void Prefault::run() {
#ifdef MADV_POPULATE_WRITE
  // The writer fills all ranges side by side, so each round backs the same
  // share of every range.
  constexpr size_t kRounds = 128, kLead = 8;
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  std::vector<uintptr_t> next(ranges_.size());
  for (size_t i = 0; i < ranges_.size(); ++i)
    next[i] = (reinterpret_cast<uintptr_t>(ranges_[i].data) + page - 1) & ~(page - 1);
  for (size_t round = 1; round <= kRounds; ++round) {
    while (round > kLead &&
           done_.load(std::memory_order_relaxed) * kRounds < (round - kLead) * total_) {
      if (stop_.load(std::memory_order_relaxed)) return;
      sleepUntil(MonotonicClock::now() + std::chrono::milliseconds(1));
    }
    for (size_t i = 0; i < ranges_.size(); ++i) {
      if (stop_.load(std::memory_order_relaxed)) return;
      const uintptr_t begin = reinterpret_cast<uintptr_t>(ranges_[i].data);
      // Whole pages only: the pages at either end may hold others' data.
      const uintptr_t end = (begin + ranges_[i].bytes * round / kRounds) & ~(page - 1);
      if (next[i] >= end) continue;
      if (madvise(reinterpret_cast<void*>(next[i]), end - next[i], MADV_POPULATE_WRITE) != 0)
        return;  // not offered here, or no memory: the writer's faults do it
      next[i] = end;
    }
  }
#endif
}

}  // namespace tavelund
