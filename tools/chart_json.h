#pragma once
// tickwell-chart --json: the chart, its signals and its analysis as one
// JSON document for scripts (its schema in the README, "version": 1).
#include <string>

#include "analysis/report.h"
#include "engine/pf_chart.h"

namespace tavelund::chart {

inline constexpr int kJsonVersion = 1;

// The chart as it stands at the report's offset: the decided columns up to
// the shown snapshot, oldest first. The caller holds chartLock.
std::string chartJson(const PfChart& chart, const analysis::Report& report);

}  // namespace tavelund::chart
