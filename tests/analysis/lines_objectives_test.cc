// Trend lines (start, restart, break), the overlay on the drawn chart and
// the price objectives, worked out by hand on small paths (reversal 3).
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/chart_history.h"
#include "analysis/objectives.h"
#include "analysis/overlay.h"
#include "analysis/patterns.h"
#include "analysis/trend_lines.h"
#include "path_builder.h"

namespace tavelund::analysis {
namespace {

using testing_util::PathBuilder;
using testing_util::settledPath;

std::vector<TrendLine> linesOf(const std::vector<int>& counts) {
  const PfChart chart = settledPath(counts).chart();
  return trendLines(historyAt(chart, 0, false));
}

void expectLine(const TrendLine& line, LineKind kind, int start, int row, int drawnAt, int broken) {
  EXPECT_EQ(kind, line.kind);
  EXPECT_EQ(start, line.startColumn);
  EXPECT_EQ(row, line.startRow);
  EXPECT_EQ(drawnAt, line.drawnAt);
  EXPECT_EQ(broken, line.brokenAt);
}

TEST(TrendLines, NoneBeforeTheFirstSignal) { EXPECT_TRUE(linesOf({5, -3, 3}).empty()); }

TEST(TrendLines, BuySignalDrawsSupportBelowTheLowestLow) {
  // X0 0..4, O1 3..1, X2 2..6: the double top in X2 draws the support line
  // from one row below O1's bottom.
  const auto lines = linesOf({5, -3, 5});
  ASSERT_EQ(1u, lines.size());
  expectLine(lines[0], LineKind::BullishSupport, 1, 0, 2, -1);
  EXPECT_EQ(2, lines[0].rowAt(3));
}

TEST(TrendLines, SellSignalDrawsResistanceAboveTheHighestHigh) {
  // O0 0..-4, X1 -3..-1, O2 -2..-6: from one row above X1's top.
  const auto lines = linesOf({-5, 3, -5});
  ASSERT_EQ(1u, lines.size());
  expectLine(lines[0], LineKind::BearishResistance, 1, 0, 2, -1);
  EXPECT_EQ(-2, lines[0].rowAt(3));
}

TEST(TrendLines, ALowThatReachesTheLineStartsItAgain) {
  // X0 0..4, O1 3..0, X2 1..4, O3 3..1, X4 2..5 (the first double top).
  // From O1 the line would stand at row 1 in O3, where O3's bottom is: it
  // starts again below O3.
  const auto lines = linesOf({5, -4, 4, -3, 4});
  ASSERT_EQ(1u, lines.size());
  expectLine(lines[0], LineKind::BullishSupport, 3, 0, 4, -1);
}

TEST(TrendLines, BreakDrawsTheOppositeLineFromTheHighestHighSince) {
  // ... O3 5..3 stays above the line (row 2); X4 4..6; O5 5..2 reaches row 4
  // and breaks it. X2 and X4 both top at 6: the later one starts the
  // resistance line, one row above it.
  const auto lines = linesOf({5, -3, 5, -3, 3, -4});
  ASSERT_EQ(2u, lines.size());
  expectLine(lines[0], LineKind::BullishSupport, 1, 0, 2, 5);
  expectLine(lines[1], LineKind::BearishResistance, 4, 7, 5, -1);
  // X6 3..5 reaches the resistance line at row 5 and breaks it in turn:
  // support again, from O5's bottom.
  const auto more = linesOf({5, -3, 5, -3, 3, -4, 3});
  ASSERT_EQ(3u, more.size());
  EXPECT_EQ(6, more[1].brokenAt);
  expectLine(more[2], LineKind::BullishSupport, 5, 1, 6, -1);
}

// Columns given as (direction, bottom row, top row), moved up by `shift`.
ChartHistory historyOf(std::initializer_list<std::array<int64_t, 3>> columns, int64_t shift) {
  ChartHistory history;
  for (const auto& [direction, bottom, top] : columns) {
    ColumnTrace column;
    column.number = static_cast<int32_t>(history.columns.size());
    column.direction = static_cast<int32_t>(direction);
    column.bottomRow = static_cast<int32_t>(bottom + shift);
    column.topRow = static_cast<int32_t>(top + shift);
    column.firstRow = direction > 0 ? column.bottomRow : column.topRow;
    column.boxes = static_cast<int32_t>(top - bottom + 1);
    history.columns.push_back(column);
  }
  return history;
}

TEST(TrendLines, StartBesideTheOutermostRowsOfTheChart) {
  // A line starts one row beyond a low or a high, so beside a column on the
  // chart's lowest or highest 32-bit row it lies outside that range. The
  // same shape anywhere on the chart gives the same line, moved with it.
  const struct {
    const char* name;
    std::initializer_list<std::array<int64_t, 3>> columns;
    int64_t row;    // the line's start row when the shape is not moved
    int64_t edge;   // the row of the shape that the last shift puts on the
                    // chart's outermost one
    int64_t limit;  // that outermost row
  } shapes[] = {
      // X0 2..6, O1 0..5, X2 1..8: support from below O1.
      {"support", {{1, 2, 6}, {-1, 0, 5}, {1, 1, 8}}, -1, 0, INT32_MIN},
      // O0 2..6, X1 3..8, O2 0..7: resistance from above X1.
      {"resistance", {{-1, 2, 6}, {1, 3, 8}, {-1, 0, 7}}, 9, 8, INT32_MAX},
  };
  for (const auto& shape : shapes) {
    const auto unmoved = trendLines(historyOf(shape.columns, 0));
    ASSERT_EQ(1u, unmoved.size()) << shape.name;
    EXPECT_EQ(shape.row, unmoved[0].startRow) << shape.name;
    for (const int64_t shift : {int64_t{1000}, int64_t{-1000}, shape.limit - shape.edge}) {
      const auto lines = trendLines(historyOf(shape.columns, shift));
      ASSERT_EQ(1u, lines.size()) << shape.name << " " << shift;
      EXPECT_EQ(unmoved[0].kind, lines[0].kind) << shape.name << " " << shift;
      EXPECT_EQ(unmoved[0].startColumn, lines[0].startColumn) << shape.name << " " << shift;
      EXPECT_EQ(shape.row + shift, lines[0].startRow) << shape.name << " " << shift;
      EXPECT_EQ(unmoved[0].rowAt(3) + shift, lines[0].rowAt(3)) << shape.name << " " << shift;
    }
  }

  // Zero prices put the chart's columns on its highest rows (a path the
  // analysis fuzz target found): every line still starts beside its column.
  PfChart chart;
  ChartSettings settings;
  chart.applySettings(settings, 2);
  std::vector<PricePoint> points;
  for (const double price : {0.0, 0.0, 1.0, 1.056, 0.99264, 1.588224, 0.0, 1.0})
    points.push_back(testing_util::point(static_cast<int32_t>(points.size()), price));
  chart.update(points, settings);
  const ChartHistory history = historyAt(chart, 0, false);
  const auto lines = trendLines(history);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(INT32_MAX, history.columns[2].topRow);
  for (const TrendLine& line : lines) {
    const ColumnTrace& start = history.columns[static_cast<size_t>(line.startColumn)];
    EXPECT_EQ(line.kind == LineKind::BullishSupport ? int64_t{start.bottomRow} - 1
                                                    : int64_t{start.topRow} + 1,
              line.startRow);
  }
}

TEST(TrendLines, OverlayMarksOnlyEmptyCellsOfTheCurrentLine) {
  const PathBuilder path = settledPath({5, -3, 5});
  PfChart chart = path.chart();
  ChartSettings settings;
  std::ostringstream plain, overlaid;
  ChartDrawing drawing;
  drawing.draw(plain, chart, settings);
  drawing.draw(overlaid, chart, settings, overlayTrendLine);
  // Grid rows 6..0 follow the top line; the line runs through row 0 of O1
  // and row 1 of X2, both empty.
  std::vector<std::string> before, after;
  std::istringstream a(plain.str()), b(overlaid.str());
  for (std::string line; std::getline(a, line);) before.push_back(line);
  for (std::string line; std::getline(b, line);) after.push_back(line);
  ASSERT_EQ(before.size(), after.size());
  std::vector<std::string> expected = before;
  expected[1 + (6 - 1)][2] = '+';
  expected[1 + (6 - 0)][1] = '+';
  EXPECT_EQ(expected, after) << overlaid.str();
  EXPECT_EQ("XO+", after[6].substr(0, 3));
  // Where the line meets a box, the box stays.
  std::ostringstream boxed;
  std::vector<std::string> grid;
  drawing.draw(boxed, chart, settings, [&](const PfChart& drawn, ChartLayout& layout) {
    for (std::string& cells : layout.cells) cells.assign(cells.size(), 'O');
    overlayTrendLine(drawn, layout);
    grid = layout.cells;
  });
  ASSERT_EQ(3u, grid.size());
  for (const std::string& cells : grid) EXPECT_EQ(std::string(cells.size(), 'O'), cells);
}

TEST(TrendLines, OverlayFollowsTheViewWhenOlderColumnsAreHidden) {
  // Two columns shown (O1, X2): the line's rows shift with the view.
  const PathBuilder path = settledPath({5, -3, 5});
  PfChart chart = path.chart();
  ChartSettings settings;
  settings.showColumns = 2;
  std::ostringstream overlaid;
  const ChartLayout layout = ChartDrawing().draw(overlaid, chart, settings, overlayTrendLine);
  ASSERT_EQ(2, layout.shown());
  // O1 starts the view at row 0 (its top), so its bottom is row -2, the
  // grid's lowest row; the line's cell in O1 (row -3) lies below the grid
  // and is not drawn, its cell in X2 (row -2) is grid row 0.
  EXPECT_EQ(-2, layout.minRow);
  EXPECT_EQ(std::string::npos, layout.cells[0].find('+'));
  EXPECT_EQ('+', layout.cells[1][0]);
}

TEST(Objectives, BullishCountsTheColumnOffTheLowestLow) {
  const PathBuilder path = settledPath({5, -3, 5});
  const PfChart chart = path.chart();
  const ChartHistory history = historyAt(chart, 0, true);
  const auto found = objective(history, findSignals(history), Side::Buy);
  ASSERT_TRUE(found);
  // X2 rose off O1's low: 5 boxes x 3 x its box size (1 % of the low).
  const double low = path.priceOf(1, 3);
  EXPECT_EQ(2, found->countColumn);
  EXPECT_EQ(5, found->boxes);
  EXPECT_EQ(3, found->factor);
  EXPECT_DOUBLE_EQ(low, found->startPrice);
  EXPECT_DOUBLE_EQ(low + 5 * 3 * (low * 0.01), found->price);
  EXPECT_FALSE(objective(history, findSignals(history), Side::Sell));
}

TEST(Objectives, BearishCountsTheColumnOffTheHighestHigh) {
  // The double bottom in O5; X2 and X4 both top at row 6, the later counts:
  // O5 fell off X4 with 4 boxes.
  const PathBuilder path = settledPath({5, -3, 5, -3, 3, -4});
  const PfChart chart = path.chart();
  const ChartHistory history = historyAt(chart, 0, true);
  const auto found = objective(history, findSignals(history), Side::Sell);
  ASSERT_TRUE(found);
  const double high = path.priceOf(4, 3);
  EXPECT_EQ(5, found->countColumn);
  EXPECT_EQ(4, found->boxes);
  EXPECT_EQ(2, found->factor);
  EXPECT_DOUBLE_EQ(high, found->startPrice);
  EXPECT_DOUBLE_EQ(high - 4 * 2 * (high * 0.01), found->price);
}

TEST(Objectives, TheLowIsSoughtOnlySinceTheSellSignalBefore) {
  // O1 (bottom 1) is the lowest low of the chart, but the buy signal in X6
  // (3..7) follows the sell signal in O5 (bottom 2): X6 rose off O5.
  const PathBuilder path = settledPath({5, -3, 5, -3, 3, -4, 5});
  const PfChart chart = path.chart();
  const ChartHistory history = historyAt(chart, 0, true);
  const auto found = objective(history, findSignals(history), Side::Buy);
  ASSERT_TRUE(found);
  EXPECT_EQ(6, found->signalColumn);
  EXPECT_EQ(6, found->countColumn);
  const double low = path.priceOf(5, 4);
  EXPECT_DOUBLE_EQ(low + 5 * 3 * (low * 0.01), found->price);
}

TEST(Objectives, BoxRangesComeFromTheColumnsOwnBoxes) {
  const PathBuilder path = settledPath({5, -3, 5});
  const PfChart chart = path.chart();
  const ChartHistory history = historyAt(chart, 0, false);
  // X2's bottom box (row 2) starts at its base, O1's low.
  const double low = path.priceOf(1, 3);
  const PriceRange x = boxRange(history.columns[2], 2);
  EXPECT_DOUBLE_EQ(low, x.low);
  EXPECT_DOUBLE_EQ(low + low * 0.01, x.high);
  // O1's top box (row 3) ends at its base, X0's high.
  const double high = path.priceOf(0, 5);
  const PriceRange o = boxRange(history.columns[1], 3);
  EXPECT_DOUBLE_EQ(high, o.high);
  EXPECT_DOUBLE_EQ(high - high * 0.01, o.low);
}

}  // namespace
}  // namespace tavelund::analysis
