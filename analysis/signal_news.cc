#include "analysis/signal_news.h"

#include <algorithm>
#include <utility>

namespace tavelund::analysis {

std::vector<Signal> newSignals(const std::vector<Signal>& before,
                               const std::vector<Signal>& after) {
  std::vector<std::pair<int32_t, PatternKind>> known;
  known.reserve(before.size());
  for (const Signal& signal : before) known.emplace_back(signal.columnNumber, signal.kind);
  std::sort(known.begin(), known.end());
  std::vector<Signal> fresh;
  for (const Signal& signal : after) {
    if (!std::binary_search(known.begin(), known.end(),
                            std::pair{signal.columnNumber, signal.kind}))
      fresh.push_back(signal);
  }
  return fresh;
}

}  // namespace tavelund::analysis
