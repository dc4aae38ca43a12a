// Any bytes as a bar file: parsing must end in bars or a clear error, and a
// plan built from the bars must stay inside them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/line_format.h"
#include "tools/feed_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavelund;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  feed::BarsResult result = feed::parseBars(text, "fuzz.csv");
  if (!result.ok()) {
    if (result.error.rfind("fuzz.csv:", 0) != 0) __builtin_trap();
    return 0;
  }
  const std::size_t count = result.bars.size();
  feed::BatchPlan plan(std::move(result.bars),
                       {size % 7, size % 3 + 1, static_cast<int>(size % 5)});
  for (int i = 0; i < 8; ++i) {
    const auto batch = plan.batch();
    if (batch.empty() || batch.size() > count) __builtin_trap();
    std::string lines;
    for (const auto& bar : batch) appendTimelineLine(lines, bar);
    if (newestWholeLines(lines, size % 200 + 1).size() > size % 200 + 1) __builtin_trap();
    plan.advance();
  }
  return 0;
}
