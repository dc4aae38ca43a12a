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

using testing_util::Construction;
using testing_util::PathBuilder;
using testing_util::settledPath;
constexpr int64_t kBase = PathBuilder::kBaseLevel;

std::vector<TrendLine> linesOf(const std::vector<int>& counts,
                               Construction construction = Construction::original) {
  const PfChart chart = settledPath(counts).chart(construction);
  return trendLines(historyAt(chart, 0, false));
}

// `row` is the start level counted from the path's base level.
void expectLine(const TrendLine& line, LineKind kind, int start, int64_t row, int drawnAt,
                int broken) {
  EXPECT_EQ(kind, line.kind);
  EXPECT_EQ(start, line.startColumn);
  EXPECT_EQ(kBase + row, line.startLevel);
  EXPECT_EQ(drawnAt, line.drawnAt);
  EXPECT_EQ(broken, line.brokenAt);
}

TEST(TrendLines, NoneBeforeTheFirstSignal) { EXPECT_TRUE(linesOf({5, -3, 3}).empty()); }

TEST(TrendLines, BuySignalDrawsSupportBelowTheLowestLow) {
  // X0 0..4, O1 3..1, X2 2..6: the double top in X2 draws the support line
  // from one level below O1's bottom.
  const auto lines = linesOf({5, -3, 5});
  ASSERT_EQ(1u, lines.size());
  expectLine(lines[0], LineKind::BullishSupport, 1, 0, 2, -1);
  EXPECT_EQ(kBase + 2, lines[0].levelAt(3));
}

TEST(TrendLines, SellSignalDrawsResistanceAboveTheHighestHigh) {
  // O0 -2..-6, X1 -5..-3, O2 -4..-8: from one level above X1's top.
  const auto lines = linesOf({-5, 3, -5});
  ASSERT_EQ(1u, lines.size());
  expectLine(lines[0], LineKind::BearishResistance, 1, -2, 2, -1);
  EXPECT_EQ(kBase - 4, lines[0].levelAt(3));
}

TEST(TrendLines, ALowThatReachesTheLineStartsItAgain) {
  // X0 0..4, O1 3..0, X2 1..4, O3 3..1, X4 2..5 (the first double top).
  // From O1 the line would stand at level 1 in O3, where O3's bottom is: it
  // starts again below O3.
  const auto lines = linesOf({5, -4, 4, -3, 4});
  ASSERT_EQ(1u, lines.size());
  expectLine(lines[0], LineKind::BullishSupport, 3, 0, 4, -1);
}

// A line breaks only where a column goes a level beyond it, and the opposite
// line waits for the opposite signal. The support line of X0 0..4, O1 3..1,
// X2 2..6 stands at level 0 in O1 and one higher per column; on both kinds
// of chart.
TEST(TrendLines, BrokenOnlyByAViolationAndFollowedOnlyAfterTheOppositeSignal) {
  struct Expected {
    LineKind kind;
    int start;
    int64_t row;
    int drawnAt, broken;
  };
  const struct {
    const char* name;
    std::vector<int> counts;
    std::vector<Expected> lines;
  } cases[] = {
      // X2 2..7, O3 6..4, X4 5..8, O5 7..4 touches the line (4) in O5.
      {"touched", {5, -3, 6, -3, 4, -4}, {{LineKind::BullishSupport, 1, 0, 2, -1}}},
      // O5 7..3 goes a level below it, with a double bottom (3 < 4): the
      // resistance line comes at once, above X4's top (8).
      {"violated with the sell signal",
       {5, -3, 6, -3, 4, -5},
       {{LineKind::BullishSupport, 1, 0, 2, 5}, {LineKind::BearishResistance, 4, 9, 5, -1}}},
      // O3 5..3, X4 4..6, O5 5..2 breaks support (4) with a double bottom;
      // X2 and X4 both top at 6, the later starts the resistance. X6 3..5
      // touches it (5).
      {"resistance touched",
       {5, -3, 5, -3, 3, -4, 3},
       {{LineKind::BullishSupport, 1, 0, 2, 5}, {LineKind::BearishResistance, 4, 7, 5, -1}}},
      // X6 3..6 violates it, but makes no double top (T4 = 6): no line yet.
      {"violated without the buy signal",
       {5, -3, 5, -3, 3, -4, 4},
       {{LineKind::BullishSupport, 1, 0, 2, 5}, {LineKind::BearishResistance, 4, 7, 5, 6}}},
      // X6 3..7 does both: support again, below O5's bottom (2).
      {"violated with the buy signal",
       {5, -3, 5, -3, 3, -4, 5},
       {{LineKind::BullishSupport, 1, 0, 2, 5},
        {LineKind::BearishResistance, 4, 7, 5, 6},
        {LineKind::BullishSupport, 5, 1, 6, -1}}},
      // ... and when the buy signal comes later, the line is drawn there:
      // O7 5..3, X8 4..8 passes T6 = 6. From O5's bottom (2) the line would
      // stand on O7's (3), so it starts below O7.
      {"buy signal after the break",
       {5, -3, 5, -3, 3, -4, 4, -3, 5},
       {{LineKind::BullishSupport, 1, 0, 2, 5},
        {LineKind::BearishResistance, 4, 7, 5, 6},
        {LineKind::BullishSupport, 7, 2, 8, -1}}},
  };
  for (const auto& c : cases) {
    for (const Construction construction : {Construction::original, Construction::grid}) {
      SCOPED_TRACE(std::string(c.name) + " " + testing_util::constructionName(construction));
      const auto lines = linesOf(c.counts, construction);
      ASSERT_EQ(c.lines.size(), lines.size());
      for (size_t i = 0; i < lines.size(); ++i) {
        const Expected& e = c.lines[i];
        expectLine(lines[i], e.kind, e.start, e.row, e.drawnAt, e.broken);
      }
      EXPECT_EQ(c.lines.back().broken < 0, currentLine(lines).has_value());
    }
  }
}

// Columns given as (direction, first level, extreme level), moved by `shift`.
ChartHistory handMade(std::initializer_list<std::array<int64_t, 3>> columns, int64_t shift) {
  ChartHistory history;
  for (const auto& [direction, first, extreme] : columns) {
    ColumnTrace column;
    column.number = static_cast<int32_t>(history.columns.size());
    column.direction = static_cast<int32_t>(direction);
    column.startLevel = first + shift;
    column.level = extreme + shift;
    history.columns.push_back(column);
  }
  return history;
}

TEST(TrendLines, StartBesideTheOutermostLevels) {
  // A line starts one level beyond a low or a high, so beside a column on
  // the grid's outermost level it lies beyond it. The same shape anywhere
  // gives the same line, moved with it.
  const struct {
    const char* name;
    std::initializer_list<std::array<int64_t, 3>> columns;
    int64_t level;  // the line's start level when the shape is not moved
    int64_t edge;   // the level of the shape the last shift puts on the limit
    int64_t limit;
  } shapes[] = {
      // X0 2..6, O1 5..0, X2 1..8: support from below O1.
      {"support", {{1, 2, 6}, {-1, 5, 0}, {1, 1, 8}}, -1, 0, -kGridLevelLimit},
      // O0 6..2, X1 3..8, O2 7..0: resistance from above X1.
      {"resistance", {{-1, 6, 2}, {1, 3, 8}, {-1, 7, 0}}, 9, 8, kGridLevelLimit},
  };
  for (const auto& shape : shapes) {
    const auto unmoved = trendLines(handMade(shape.columns, 0));
    ASSERT_EQ(1u, unmoved.size()) << shape.name;
    EXPECT_EQ(shape.level, unmoved[0].startLevel) << shape.name;
    for (const int64_t shift : {int64_t{1000}, int64_t{-1000}, shape.limit - shape.edge}) {
      const auto lines = trendLines(handMade(shape.columns, shift));
      ASSERT_EQ(1u, lines.size()) << shape.name << " " << shift;
      EXPECT_EQ(unmoved[0].kind, lines[0].kind) << shape.name << " " << shift;
      EXPECT_EQ(unmoved[0].startColumn, lines[0].startColumn) << shape.name << " " << shift;
      EXPECT_EQ(shape.level + shift, lines[0].startLevel) << shape.name << " " << shift;
      EXPECT_EQ(unmoved[0].levelAt(3) + shift, lines[0].levelAt(3)) << shape.name << " " << shift;
    }
  }

  // Zero prices lie outside the percent grid, on its lowest level (a path
  // the analysis fuzz target found): every line still starts beside its
  // column.
  PfChart chart;
  ChartSettings settings;
  chart.applySettings(settings, 2);
  std::vector<PricePoint> points;
  for (const double price : {0.0, 0.0, 1.0, 1.056, 0.99264, 1.588224, 0.0, 1.0})
    points.push_back(testing_util::point(static_cast<int32_t>(points.size()), price));
  chart.update(points, settings);
  const ChartHistory history = historyAt(chart, 0, false);
  const auto lines = trendLines(history);
  ASSERT_FALSE(lines.empty());
  for (const TrendLine& line : lines) {
    const ColumnTrace& start = history.columns[static_cast<size_t>(line.startColumn)];
    EXPECT_EQ(line.kind == LineKind::BullishSupport ? start.level - 1 : start.level + 1,
              line.startLevel);
  }
}

TEST(TrendLines, OverlayMarksOnlyEmptyCellsOfTheCurrentLine) {
  // On a grid the rows are the levels.
  const PathBuilder path = settledPath({5, -3, 5});
  PfChart chart = path.chart(Construction::grid);
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
  PfChart chart = path.chart(Construction::grid);
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

TEST(TrendLines, OverlayOnOwnBoxesMarksTheBoxThatHoldsTheLinesPrice) {
  const PathBuilder path = settledPath({5, -3, 5, -3, 6, -3});
  PfChart chart = path.chart();
  ChartSettings settings;
  std::ostringstream out;
  const ChartLayout layout = ChartDrawing().draw(out, chart, settings, overlayTrendLine);
  const ChartHistory history = historyOf(chart, layout, false);
  const auto line = currentLine(trendLines(history));
  ASSERT_TRUE(line);
  int marked = 0;
  for (int32_t shown = 0; shown < layout.shown(); ++shown) {
    const size_t r = layout.cells[static_cast<size_t>(shown)].find('+');
    if (r == std::string::npos) continue;
    ++marked;
    const int32_t column = history.firstShown() + shown;
    const PriceRange box =
        boxRange(history.columns[static_cast<size_t>(column)], layout.minRow + int64_t(r));
    const double price = history.price(line->levelAt(column));
    EXPECT_LE(box.low, price * (1 + 1e-12)) << column;
    EXPECT_GT(box.high, price * (1 - 1e-12)) << column;
  }
  EXPECT_GE(marked, 2);
}

// The vertical count, after Dorsey, on both kinds of chart: the column of
// the first buy signal after the latest sell signal (and the mirror), its
// levels x reversal (bullish) or x reversal - 1 (bearish) from its first box.
TEST(Objectives, VerticalCountFromTheSignalColumn) {
  using State = Objective::State;
  const struct {
    const char* name;
    std::vector<int> counts;
    Side side;
    int column;    // counted, -1 for none
    int64_t from;  // level of its first box
    int64_t boxes;
    int64_t target;  // level of the objective
    State state;
  } cases[] = {
      // X2 2..6 gives the buy signal and still runs.
      {"pending", {5, -3, 5}, Side::Buy, 2, 2, 5, 17, State::pending},
      // O3 5..3 ends it: 5 x 3 above level 2.
      {"counted", {5, -3, 5, -3}, Side::Buy, 2, 2, 5, 17, State::active},
      // O3 5..1 goes below X2's first box without a sell signal (B1 = 1).
      {"cancelled", {5, -3, 5, -5}, Side::Buy, 2, 2, 5, 17, State::cancelled},
      // No buy signal after the sell signal of O5 (5..2 below B3 = 3).
      {"after a sell signal", {5, -3, 5, -3, 3, -4, 3}, Side::Buy, -1, 0, 0, 0, State::active},
      // O5 counts: 4 boxes x 2 below level 5.
      {"bearish", {5, -3, 5, -3, 3, -4, 3}, Side::Sell, 5, 5, 4, -3, State::active},
      // X6 3..7 is the first buy signal after it; X8 4..9 the second.
      {"first buy signal off the bottom",
       {5, -3, 5, -3, 3, -4, 5, -3, 6, -3},
       Side::Buy,
       6,
       3,
       5,
       18,
       State::active},
  };
  for (const auto& c : cases) {
    for (const Construction construction : {Construction::original, Construction::grid}) {
      SCOPED_TRACE(std::string(c.name) + " " + testing_util::constructionName(construction));
      const PfChart chart = settledPath(c.counts).chart(construction);
      const ChartHistory history = historyAt(chart, 0, true);
      const auto found = verticalCount(history, findSignals(history), c.side);
      ASSERT_EQ(c.column >= 0, found.has_value());
      if (!found) continue;
      EXPECT_EQ(c.column, found->countColumn);
      EXPECT_EQ(c.column, found->signalColumn);
      EXPECT_EQ(kBase + c.from, found->fromLevel);
      EXPECT_EQ(c.boxes, found->boxes);
      EXPECT_EQ(c.side == Side::Buy ? 3 : 2, found->factor);
      EXPECT_DOUBLE_EQ(PathBuilder::rowPrice(c.target), found->price);
      EXPECT_EQ(c.state, found->state);
    }
  }
}

// The horizontal count: the base's width across its row, x reversal, from
// the base's low (and the mirror).
TEST(Objectives, HorizontalCountAcrossTheBase) {
  const struct {
    const char* name;
    std::vector<int> counts;
    Side side;
    int first;  // the base's first column, -1 for no count
    int64_t width, from;
  } cases[] = {
      // X0 0..4, O1 3..1, X2 2..4, O3 3..1, X4 2..5 breaks out: columns 0
      // to 4 hold levels 2 and 3; the low is X0's 0.
      {"triple top", {5, -3, 3, -3, 4, -3}, Side::Buy, 0, 5, 0},
      {"triple bottom", {-5, 3, -3, 3, -4, 3}, Side::Sell, 0, 5, -2},
      // X0 0..5, O1 4..-1, then tops of 3 and lows of 0 until X6 1..4
      // breaks out: levels 1..2 run back to X0; O1 holds the low.
      {"a deeper low", {6, -6, 4, -3, 3, -3, 4, -3}, Side::Buy, 0, 7, -1},
      // O2 falls from -2 to -13 into a base of tops at -10 and lows at -13;
      // X1 (-3..-1) lies above its row: the wall.
      {"behind a wall", {-3, 3, -12, 3, -3, 3, -3, 4, -3}, Side::Buy, 2, 6, -13},
      // A double top is no base.
      {"double top", {5, -3, 5, -3}, Side::Buy, -1, 0, 0},
  };
  for (const auto& c : cases) {
    for (const Construction construction : {Construction::original, Construction::grid}) {
      SCOPED_TRACE(std::string(c.name) + " " + testing_util::constructionName(construction));
      const PfChart chart = settledPath(c.counts).chart(construction);
      const ChartHistory history = historyAt(chart, 0, true);
      const auto found = horizontalCount(history, findSignals(history), c.side);
      ASSERT_EQ(c.first >= 0, found.has_value());
      if (!found) continue;
      EXPECT_EQ(c.first, found->countColumn);
      EXPECT_EQ(c.width, found->boxes);
      EXPECT_EQ(kBase + c.from, found->fromLevel);
      const int64_t direction = c.side == Side::Buy ? 1 : -1;
      EXPECT_DOUBLE_EQ(PathBuilder::rowPrice(c.from + direction * c.width * 3), found->price);
    }
  }
}

TEST(Objectives, TriggersOfTheNewestColumn) {
  // O3 5..3 runs after X2 2..6 (the buy signal); O1 bottomed at 1.
  const PathBuilder path = settledPath({5, -3, 5, -3});
  for (const Construction construction : {Construction::original, Construction::grid}) {
    SCOPED_TRACE(testing_util::constructionName(construction));
    const PfChart chart = path.chart(construction);
    const ChartHistory history = historyAt(chart, 0, true);
    const Triggers next = triggers(history);
    const PfColumn newest = chart.snapshots()[chart.snapshots().size() - 1];
    ASSERT_TRUE(next.reversal && next.nextBox && next.buySignal && next.sellSignal);
    EXPECT_EQ(newest.reversalPrice, *next.reversal);
    EXPECT_LT(*next.nextBox, newest.direction < 0 ? newest.endBoxPrice : 0);
    // A buy signal needs a level above X2's top, a sell signal one below O1.
    EXPECT_DOUBLE_EQ(std::max(PathBuilder::rowPrice(7), *next.reversal), *next.buySignal);
    EXPECT_DOUBLE_EQ(PathBuilder::rowPrice(0), *next.sellSignal);
    if (construction == Construction::grid) {
      EXPECT_DOUBLE_EQ(PathBuilder::rowPrice(2), *next.nextBox);
      EXPECT_DOUBLE_EQ(PathBuilder::rowPrice(6), *next.reversal);
    }
  }
  // While X2 runs past its breakout, the next buy signal is a level above
  // its own top (after a reversal).
  const PfChart running = settledPath({5, -3, 5}).chart(Construction::grid);
  EXPECT_DOUBLE_EQ(PathBuilder::rowPrice(7), *triggers(historyAt(running, 0, true)).buySignal);
}

TEST(Objectives, BoxRangesComeFromTheColumnsOwnBoxes) {
  const PathBuilder path = settledPath({5, -3, 5});
  const PfChart chart = path.chart();
  const ChartHistory history = historyAt(chart, 0, false);
  // X2's bottom box starts at its base, O1's low.
  const double low = path.priceOf(1, 3);
  const PriceRange x = boxRange(history.columns[2], history.columns[2].firstRow);
  EXPECT_DOUBLE_EQ(low, x.low);
  EXPECT_DOUBLE_EQ(low + low * 0.01, x.high);
  // O1's top box ends at its base, X0's high.
  const double high = path.priceOf(0, 5);
  const PriceRange o = boxRange(history.columns[1], history.columns[1].firstRow);
  EXPECT_DOUBLE_EQ(high, o.high);
  EXPECT_DOUBLE_EQ(high - high * 0.01, o.low);
}

}  // namespace
}  // namespace tavelund::analysis
