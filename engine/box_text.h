#pragma once
// How a chart is built, in words for the P screen and the run log: its box
// (method and size) and its construction.
#include <optional>
#include <string>

#include "common/chart_settings.h"
#include "engine/pf_chart.h"

namespace tavelund {

// The box of a chart: "1.00 %" (each column's own boxes), "1% ON ONE GRID",
// "0.001 ON ONE GRID", "TRADITIONAL TABLE", "ATR14 = 12.345 ON ONE GRID"
// (the box once the chart has resolved it; the scale before).
std::string boxSizeText(const PfChart& chart);
std::string boxSizeText(const ChartSettings& settings);

// "EACH COLUMN ON ITS OWN BOXES", "ONE GRID BY CLOSES", "ONE GRID BY HIGHS
// AND LOWS".
std::string constructionText(const std::optional<GridScale>& grid, bool highLow);

}  // namespace tavelund
