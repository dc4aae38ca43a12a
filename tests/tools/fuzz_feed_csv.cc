// Any bytes as a bar file: parsing must end in bars or a clear error, the
// bars must reach the viewer intact, and a plan built from the bars must
// stay inside them.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/split.h"
#include "link/line_format.h"
#include "tools/feed_source.h"

namespace {

// Each price of the bar's published line, read as the viewer reads it, is
// above zero and within a part in 10^4 of the bar's; high and low hold the
// open and the close.
bool carried(const tavelund::TimelineBar& bar) {
  if (!(bar.low <= bar.open && bar.low <= bar.close && bar.open <= bar.high &&
        bar.close <= bar.high))
    return false;
  const std::string line = tavelund::timelineLine(bar);
  const auto fields = tavelund::splitViews(std::string_view(line).substr(0, line.size() - 1), ",");
  if (fields.size() != 5) return false;
  const double prices[] = {bar.open, bar.high, bar.low, bar.close};
  for (int i = 0; i < 4; ++i) {
    const std::string text(fields[i + 1]);
    const float read = std::strtof(text.c_str(), nullptr);
    if (!std::isfinite(read) || !(read > 0)) return false;
    if (!(std::fabs(std::strtod(text.c_str(), nullptr) - prices[i]) <= prices[i] * 1e-4))
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavelund;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  feed::BarsResult result = feed::parseBars(text, "fuzz.csv");
  if (!result.ok()) {
    if (result.error.rfind("fuzz.csv:", 0) != 0) __builtin_trap();
    return 0;
  }
  for (const auto& bar : result.bars) {
    if (!carried(bar)) __builtin_trap();
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
