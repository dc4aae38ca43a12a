#include "common/prefault.h"

namespace tavelund {

// Windows commits a reserved heap block's pages on first touch as well, but
// offers no request that backs them without writing; the writer's own faults
// do it.
// Large pages need a privilege that a viewer does not have.
void adviseLargePages(const void*, size_t) {}

Prefault::Prefault(std::vector<PrefaultRange> ranges, size_t total)
    : ranges_(std::move(ranges)), total_(total) {}

Prefault::~Prefault() = default;

void Prefault::run() {}

}  // namespace tavelund
