// The feed's whole input path: any bytes as a file on disk, read with a
// small size cap (so the refusal of an oversized file is reached too),
// parsed, planned and formatted as timeline lines. It must end in bars or
// in one clear, printable error line naming the file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "link/line_format.h"
#include "tools/feed_source.h"

namespace {

constexpr std::size_t kCap = 4096;

// A file in memory, reached by a path as any file is.
int inputFile() {
  static const int fd = memfd_create("fuzz_feed_input.csv", 0);
  return fd;
}

const std::string& inputPath() {
  static const std::string path = "/proc/self/fd/" + std::to_string(inputFile());
  return path;
}

bool printableLine(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavelund;
  if (inputFile() < 0 || ftruncate(inputFile(), 0) != 0) __builtin_trap();
  if (size > 0 && pwrite(inputFile(), data, size, 0) != static_cast<ssize_t>(size))
    __builtin_trap();

  feed::BarsResult result = feed::loadBars(inputPath(), kCap);
  if (!result.ok()) {
    if (result.error.rfind(inputPath() + ":", 0) != 0) __builtin_trap();
    if (!printableLine(result.error) || result.error.size() > inputPath().size() + 600)
      __builtin_trap();
    if (size <= kCap && result.error.rfind(inputPath() + ": larger than", 0) == 0) __builtin_trap();
    return 0;
  }
  if (size > kCap || result.bars.empty()) __builtin_trap();
  for (std::size_t i = 0; i < result.bars.size(); ++i) {
    const TimelineBar& bar = result.bars[i];
    if (bar.second != 0 || bar.millisecond != 0) __builtin_trap();
    if (i > 0 && timelineLine(result.bars[i - 1]).compare(0, 16, timelineLine(bar), 0, 16) >= 0)
      __builtin_trap();  // one bar per minute, oldest first
  }
  feed::BatchPlan plan(std::move(result.bars),
                       {size % 5, size % 3 + 1, static_cast<int>(size % 4)});
  std::string lines;
  for (int i = 0; i < 4; ++i) {
    for (const auto& bar : plan.batch()) appendTimelineLine(lines, bar);
    plan.advance();
  }
  return 0;
}
