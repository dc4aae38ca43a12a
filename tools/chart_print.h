#pragma once
// What tickwell-chart prints: the chart of a file of bars built as the
// viewer builds it (the same timeline lines, conversion, settings and
// update), its lines as the viewer draws them, and the analysis.
#include <ostream>
#include <vector>

#include "analysis/report.h"
#include "common/chart_settings.h"
#include "engine/chart_layout.h"
#include "engine/pf_chart.h"
#include "intake/tick_intake.h"
#include "link/line_format.h"
#include "tools/chart_options.h"

namespace tavelund::chart {

struct BuiltChart {
  TickIntake intake;
  PfChart chart;
  ChartSettings settings;
};

// Builds the chart of `bars` with the options' settings and view offset
// (an offset beyond the oldest point shows the oldest, as END does).
void buildChart(const std::vector<TimelineBar>& bars, const Options& options, BuiltChart& built);

// The layout of the chart at the offset, as the drawing shows it. The
// caller holds chartLock.
ChartLayout shownLayout(const BuiltChart& built);

// The LAST LINE, its rule and the chart lines, as the viewer prints them
// below its header.
void printChart(std::ostream& out, const BuiltChart& built);

// Every signal of the chart as it stands at the offset, oldest first, as
// CSV: time,column,side,kind,price.
void printSignals(std::ostream& out, const analysis::Report& report);

// The analysis text, with every signal of the shown columns.
void printAnalysis(std::ostream& out, const analysis::Report& report);

}  // namespace tavelund::chart
