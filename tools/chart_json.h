#pragma once
// tickwell-chart --json: the chart, its signals and its analysis as one
// JSON document for scripts (its schema in the README, "version": 1).
#include <string>
#include <vector>

#include "analysis/report.h"
#include "engine/pf_chart.h"
#include "tools/chart_scan.h"

namespace tavelund::chart {

inline constexpr int kJsonVersion = 1;

// The chart as it stands at the report's offset: the decided columns up to
// the shown snapshot, oldest first. The caller holds chartLock.
std::string chartJson(const PfChart& chart, const analysis::Report& report);

// The document's "analysis" object alone (no line end).
std::string analysisJson(const analysis::Report& report);

// tickwell-chart --scan --json: one object per file, in the rows' order:
// its file, symbol and time frame, then either its error or its last price,
// newest signal and analysis (as in the document).
std::string scanJson(const std::vector<ScanRow>& rows);

}  // namespace tavelund::chart
