#pragma once
// The chart as an SVG picture: the drawing's grid with green X and red O
// glyphs (each with a title that gives its own price range, from its
// column's box size), the price labels and markers of the text chart, the
// trend lines, a marker and name at each signal of the shown columns, and
// the month (and, where it changes, the year) of each column's first point
// above the column.
#include <string>

#include "analysis/report.h"
#include "engine/chart_layout.h"

namespace tavelund::chart {

// The picture of `layout`; `report` is the analysis of the same layout.
// False (with `error`) for a chart too tall to draw.
bool chartSvg(const ChartLayout& layout, const analysis::Report& report, std::string& svg,
              std::string& error);

// Writes `text` into `path` whole or not at all (common/whole_file.h): a new
// file of its own beside it first, then renamed over `path`.
bool writeWholeFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace tavelund::chart
