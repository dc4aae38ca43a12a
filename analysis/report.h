#pragma once
// Everything the analysis says about the chart at one view offset, and its
// text: the lines of the viewer's analysis screen and of the chart
// printer's --analysis.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/chart_history.h"
#include "analysis/objectives.h"
#include "analysis/patterns.h"
#include "analysis/trend_lines.h"
#include "engine/pf_chart.h"

namespace tavelund::analysis {

struct Report {
  ChartHistory history;
  std::vector<Signal> signals;  // all of them, oldest first
  std::optional<Signal> status;
  std::vector<TrendLine> lines;
  std::optional<Objective> bullish, bearish;                      // vertical counts
  std::optional<Objective> bullishHorizontal, bearishHorizontal;  // horizontal counts
  Triggers triggers;
};

// The caller holds chartLock; the report's history refers to the chart's
// texts and is valid while the chart is unchanged.
Report analyze(const PfChart& chart, const ChartLayout& layout);
// The same for the layout at `viewOffset` with `showColumns` shown.
Report analyze(const PfChart& chart, int32_t viewOffset, int32_t showColumns = 30);

// The status in words, as the analysis text's STATUS line gives it: "BUY
// SIGNAL since <time> (<price>)", the same for SELL, or "NO SIGNAL".
std::string statusText(const Report& report);

// The analysis text. At most `maxSignals` signal lines (the newest); a line
// says how many older ones were left out.
inline constexpr size_t kAllSignals = static_cast<size_t>(-1);
std::vector<std::string> reportLines(const Report& report, size_t maxSignals = kAllSignals);

// The same in at most `room` lines where it fits: as many of the newest
// signal lines as leave room for the rest of the text, one at least.
std::vector<std::string> reportLinesWithin(const Report& report, size_t room);

}  // namespace tavelund::analysis
