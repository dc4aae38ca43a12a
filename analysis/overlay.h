#pragma once
// The trend-line overlay: the current line drawn into the layout's cells.
#include "engine/chart_layout.h"
#include "engine/pf_chart.h"

namespace tavelund::analysis {

// Marks the current trend line's empty cells of the layout with "+". Call
// under chartLock, before the layout is printed.
void overlayTrendLine(const PfChart& chart, ChartLayout& layout);

}  // namespace tavelund::analysis
