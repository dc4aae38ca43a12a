// Each pattern kind on a hand-made path that completes it, and on a near
// miss that does not; then the same with the path mirrored (every column
// turned over), which must give the mirror kind; each on both kinds of
// chart. Reversal 3, so every column holds at least 3 boxes. The levels in
// the comments are rows counted from the path's base level, worked out by
// hand: an X column starts one level above the bottom of the O before it,
// an O column one level below the top of the X before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/chart_history.h"
#include "analysis/patterns.h"
#include "analysis/signal_news.h"
#include "common/grid_scale.h"
#include "path_builder.h"

namespace tavelund::analysis {
namespace {

using testing_util::Construction;
using testing_util::PathBuilder;
using testing_util::settledPath;
using K = PatternKind;

struct Case {
  const char* name;
  std::vector<int> counts;
  PatternKind kind;  // the rising form (or Long Tail Down)
  int column;        // the column that completes it
  int boxes;         // that column's count at the completing point
  std::vector<int> nearMiss;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

PatternKind mirrored(PatternKind kind) {
  return static_cast<PatternKind>(static_cast<int>(kind) ^ 1);
}

std::vector<int> turnedOver(const std::vector<int>& counts) {
  std::vector<int> out;
  for (int count : counts) out.push_back(-count);
  return out;
}

std::vector<Signal> signalsOf(const PathBuilder& path,
                              Construction construction = Construction::original) {
  const PfChart chart = path.chart(construction);
  return findSignals(historyAt(chart, 0, true));
}

std::vector<Signal> ofKind(const std::vector<Signal>& signals, PatternKind kind) {
  std::vector<Signal> found;
  std::copy_if(signals.begin(), signals.end(), std::back_inserter(found),
               [&](const Signal& s) { return s.kind == kind; });
  return found;
}

const std::vector<Case> kCases = {
    // X0 0..4, O1 3..1, X2 2..6: T2 passes T0 = 4 at its 4th box (top 5).
    {"DoubleTop", {5, -3, 5}, PatternKind::DoubleTopBreakout, 2, 4, {5, -3, 3}},
    // X2 2..4 = T0, O3 3..1, X4 2..5: T4 > T2 = T0.
    {"TripleTop", {5, -3, 3, -3, 4}, PatternKind::TripleTopBreakout, 4, 4, {5, -3, 4, -3, 5}},
    // T2 = T4 = T6 = 4, X6 2..5.
    {"QuadrupleTop",
     {5, -3, 3, -3, 3, -3, 4},
     PatternKind::QuadrupleTopBreakout,
     6,
     4,
     // X0 0..4, O1 3..0, then tops of 3: T0 = 4 breaks the run of equal tops.
     {5, -4, 3, -3, 3, -3, 4}},
    // X0 0..3, O1 2..0, X2 1..4, O3 3..1, X4 2..5: 5 > 4 > 3.
    {"AscendingTripleTop",
     {4, -3, 4, -3, 4},
     PatternKind::AscendingTripleTop,
     4,
     4,
     {4, -3, 3, -3, 4}},
    // A triple top breakout in X4 (2..5), then X6 3..6 passes it.
    {"Catapult",
     {5, -3, 3, -3, 4, -3, 4},
     PatternKind::BullishCatapult,
     6,
     4,
     // Without the triple top: X2 2..5 is above T0 before X4 passes it.
     {5, -3, 4, -3, 5, -3, 4}},
    // Falling tops 8, 6, 4 and bottoms 3, 1, -1, then X6 0..5 passes T4.
    {"SignalReversed",
     {9, -5, 3, -5, 3, -5, 6},
     PatternKind::BearishSignalReversed,
     6,
     6,
     // O3 5..3 does not go below O1's bottom.
     {9, -5, 3, -3, 3, -5, 6}},
    // X4 2..5 breaks T2 = T0 = 4 by exactly one level; O5 reverses.
    {"BullTrap", {5, -3, 3, -3, 4, -3}, PatternKind::BullTrap, 5, 3, {5, -3, 3, -3, 5, -3}},
    // X2 1..7 is 4 levels above T0 = 3; O3 6..3 gives back 4 of its 7 boxes.
    {"HighPole", {4, -3, 7, -4}, PatternKind::HighPole, 3, 4, {4, -3, 7, -3}},
    // T2 = 5 < T0 = 6, B3 = 2 > B1 = 1, then X4 3..6 passes T2.
    {"Triangle", {7, -5, 4, -3, 4}, PatternKind::BullishTriangle, 4, 4, {7, -5, 4, -4, 5}},
    // T0 = T4 = 4 > T2 = 3, then X6 2..5.
    {"SpreadTripleTop",
     {5, -4, 3, -3, 4, -3, 4},
     PatternKind::SpreadTripleTop,
     6,
     4,
     {6, -5, 3, -3, 4, -3, 4}},
    // O1 of 20 boxes, then the reversal up.
    {"LongTailDown", {5, -20, 3}, PatternKind::LongTailDown, 2, 3, {5, -19, 3}},
};

class EachKind : public ::testing::TestWithParam<std::tuple<Case, Construction>> {
 protected:
  const Case& kind() const { return std::get<0>(GetParam()); }
  Construction construction() const { return std::get<1>(GetParam()); }
};

void expectCompleted(const std::vector<int>& counts, PatternKind kind, int column, int boxes,
                     Construction construction = Construction::original) {
  const PathBuilder path = settledPath(counts);
  const auto found = ofKind(signalsOf(path, construction), kind);
  ASSERT_EQ(1u, found.size()) << kindName(kind);
  const Signal& signal = found[0];
  EXPECT_EQ(column, signal.column);
  EXPECT_EQ(column - 1, signal.columnNumber);  // the chart numbers its first column -1
  EXPECT_EQ(kindSide(kind), signal.side);
  EXPECT_EQ(path.pointOf(column, boxes), signal.point) << kindName(kind);
  EXPECT_EQ(path.priceOf(column, boxes), signal.price);
  EXPECT_EQ(path.points()[static_cast<size_t>(signal.point)].text, signal.time);
}

TEST_P(EachKind, CompletesAtItsPoint) {
  expectCompleted(kind().counts, kind().kind, kind().column, kind().boxes, construction());
}

// Neither a signal of `kind` nor its condition in any column.
void expectNotCompleted(const std::vector<int>& counts, PatternKind kind,
                        Construction construction = Construction::original) {
  const PathBuilder path = settledPath(counts);
  const PfChart chart = path.chart(construction);
  const ChartHistory history = historyAt(chart, 0, true);
  EXPECT_TRUE(ofKind(findSignals(history), kind).empty()) << kindName(kind);
  for (int column = 0; column < static_cast<int>(history.columns.size()); ++column) {
    EXPECT_FALSE(conditionsAt(history, column)[static_cast<size_t>(kind)]) << column;
  }
}

TEST_P(EachKind, NearMissDoesNotComplete) {
  expectNotCompleted(kind().nearMiss, kind().kind, construction());
}

TEST_P(EachKind, MirrorCompletesTheMirrorKind) {
  const Case& c = kind();
  if (c.kind == PatternKind::LongTailDown) {
    // It has no mirror: a long rise and a reversal down signal no tail.
    const auto signals = signalsOf(settledPath(turnedOver(c.counts)), construction());
    EXPECT_TRUE(ofKind(signals, PatternKind::LongTailDown).empty());
    return;
  }
  expectCompleted(turnedOver(c.counts), mirrored(c.kind), c.column, c.boxes, construction());
  EXPECT_TRUE(
      ofKind(signalsOf(settledPath(turnedOver(c.nearMiss)), construction()), mirrored(c.kind))
          .empty());
}

INSTANTIATE_TEST_SUITE_P(Patterns, EachKind,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::Values(Construction::original,
                                                              Construction::grid)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  testing_util::constructionName(std::get<1>(info.param));
                         });

// A pole stands three levels or more beyond the column two before, and the
// reversal after it gives back more than half of it: both at their edges.
TEST(Patterns, PolesAtTheirEdges) {
  // X2 1..6 is exactly three levels above T0 = 3; O3 gives back 4 of 6.
  expectCompleted({4, -3, 6, -4}, PatternKind::HighPole, 3, 4);
  expectCompleted({-4, 3, -6, 4}, PatternKind::LowPole, 3, 4);
  // X2 1..8: half of it (4 boxes) is not enough, the 5th box completes.
  expectCompleted({4, -3, 8, -5}, PatternKind::HighPole, 3, 5);
  expectCompleted({-4, 3, -8, 5}, PatternKind::LowPole, 3, 5);
  // Two levels above T0 only; exactly half given back.
  for (const std::vector<int>& counts : {std::vector<int>{4, -3, 5, -4}, {4, -3, 8, -4}}) {
    SCOPED_TRACE(::testing::PrintToString(counts));
    expectNotCompleted(counts, PatternKind::HighPole);
    expectNotCompleted(turnedOver(counts), PatternKind::LowPole);
  }
}

TEST(Patterns, SidesAndNamesOfAllKinds) {
  EXPECT_EQ("Double Top Breakout", kindName(PatternKind::DoubleTopBreakout));
  EXPECT_EQ("Long Tail Down", kindName(PatternKind::LongTailDown));
  // Lower highs and lows ended by a breakout reverse the bearish signal.
  EXPECT_EQ("Bearish Signal Reversed", kindName(PatternKind::BearishSignalReversed));
  EXPECT_EQ(Side::Buy, kindSide(PatternKind::BearishSignalReversed));
  EXPECT_EQ("Bullish Signal Reversed", kindName(PatternKind::BullishSignalReversed));
  EXPECT_EQ(Side::Sell, kindSide(PatternKind::BullishSignalReversed));
  EXPECT_EQ(Side::Sell, kindSide(PatternKind::BullTrap));
  EXPECT_EQ(Side::Buy, kindSide(PatternKind::BearTrap));
  EXPECT_EQ(Side::Sell, kindSide(PatternKind::HighPole));
  EXPECT_EQ(Side::Buy, kindSide(PatternKind::LowPole));
  EXPECT_EQ(Side::Buy, kindSide(PatternKind::LongTailDown));
  int buys = 0;
  for (int k = 0; k < kPatternKindCount; ++k) {
    buys += kindSide(static_cast<PatternKind>(k)) == Side::Buy;
  }
  EXPECT_EQ(11, buys);
}

TEST(Patterns, EveryKindWhoseConditionHoldsIsListed) {
  // The catapult column also passes a double top and an ascending triple
  // top; the triple top column before it a double and a triple top, and as
  // it broke out by one level only, the reversal after it is a bull trap.
  const auto signals = signalsOf(settledPath({5, -3, 3, -3, 4, -3, 4}));
  std::vector<std::pair<int, PatternKind>> listed;
  for (const Signal& s : signals) listed.emplace_back(s.column, s.kind);
  const std::vector<std::pair<int, PatternKind>> expected = {
      {4, PatternKind::DoubleTopBreakout},  {4, PatternKind::TripleTopBreakout},
      {5, PatternKind::BullTrap},           {6, PatternKind::DoubleTopBreakout},
      {6, PatternKind::AscendingTripleTop}, {6, PatternKind::BullishCatapult},
  };
  EXPECT_EQ(expected, listed);
}

TEST(Patterns, TheCurrentColumnCountsAsItStands) {
  // The breakout of X2 completes at its 4th box: at the point before, the
  // chart (and so the analysis) does not have it yet.
  const PathBuilder path = settledPath({5, -3, 5});
  const PfChart chart = path.chart();
  const int32_t completing = path.pointOf(2, 4);
  EXPECT_TRUE(findSignals(historyAt(chart, path.offsetOf(completing - 1), true)).empty());
  const auto at = findSignals(historyAt(chart, path.offsetOf(completing), true));
  ASSERT_EQ(1u, at.size());
  EXPECT_EQ(completing, at[0].point);
}

TEST(Patterns, StatusIsTheLatestDoubleTopOrBottom) {
  // X0 0..4, O1 3..1, X2 2..6 (buy), O3 5..3, X4 4..6, O5 5..2 (sell: B5 < B3).
  const PathBuilder path = settledPath({5, -3, 5, -3, 3, -4});
  const PfChart chart = path.chart();
  const auto signals = findSignals(historyAt(chart, 0, true));
  const auto status = signalStatus(signals);
  ASSERT_TRUE(status);
  EXPECT_EQ(Side::Sell, status->side);
  EXPECT_EQ(PatternKind::DoubleBottomBreakdown, status->kind);
  EXPECT_EQ(path.pointOf(5, 4), status->point);

  // Before the sell signal, the buy signal stands; before that, nothing.
  const auto before =
      signalStatus(findSignals(historyAt(chart, path.offsetOf(path.pointOf(5, 4) - 1), true)));
  ASSERT_TRUE(before);
  EXPECT_EQ(Side::Buy, before->side);
  EXPECT_EQ(path.pointOf(2, 4), before->point);
  EXPECT_FALSE(
      signalStatus(findSignals(historyAt(chart, path.offsetOf(path.pointOf(2, 4) - 1), true))));
}

TEST(Patterns, ShownSignalsAreThoseOfTheShownColumnsNewestFirst) {
  const PathBuilder path = settledPath({5, -3, 5, -3, 3, -4});
  const PfChart chart = path.chart();
  const ChartHistory history = historyAt(chart, 0, true, 2);  // shows O5 and X4 only
  const auto shown = shownSignals(history, findSignals(history));
  ASSERT_EQ(1u, shown.size());
  EXPECT_EQ(PatternKind::DoubleBottomBreakdown, shown[0].kind);

  const ChartHistory all = historyAt(chart, 0, true, 30);
  const auto every = shownSignals(all, findSignals(all));
  ASSERT_EQ(2u, every.size());
  EXPECT_GT(every[0].point, every[1].point);

  // The oldest shown column's signals are shown: X2 to O5, then O3 to O5.
  const ChartHistory fromX2 = historyAt(chart, 0, true, 4);
  ASSERT_EQ(2, fromX2.firstShown());
  EXPECT_EQ(2u, shownSignals(fromX2, findSignals(fromX2)).size());
  const ChartHistory fromO3 = historyAt(chart, 0, true, 3);
  EXPECT_EQ(1u, shownSignals(fromO3, findSignals(fromO3)).size());
}

TEST(Patterns, LevelsFollowTheRowRuleOnBothKindsOfChart) {
  const PathBuilder path = settledPath({5, -3, 5, -3});
  for (const Construction construction : {Construction::original, Construction::grid}) {
    SCOPED_TRACE(testing_util::constructionName(construction));
    const PfChart chart = path.chart(construction);
    const ChartHistory history = historyAt(chart, 0, true);
    ASSERT_EQ(4u, history.columns.size());
    const int64_t levels[][2] = {{0, 4}, {3, 1}, {2, 6}, {5, 3}};  // first box, extreme
    for (size_t i = 0; i < 4; ++i) {
      const ColumnTrace& column = history.columns[i];
      EXPECT_EQ(PathBuilder::kBaseLevel + levels[i][0], column.startLevel) << i;
      EXPECT_EQ(PathBuilder::kBaseLevel + levels[i][1], column.level) << i;
      // On a grid the drawing's rows are the levels.
      if (construction == Construction::grid) {
        EXPECT_EQ(levels[i][0], column.firstRow) << i;
        EXPECT_EQ(levels[i][1], column.direction > 0 ? column.topRow : column.bottomRow) << i;
      }
    }
    // The first step of a reversed column is the reversal point at its
    // third box; then one step per level.
    const auto& steps = history.columns[2].steps;
    ASSERT_EQ(3u, steps.size());
    EXPECT_EQ(path.pointOf(2, 3), steps[0].point);
    EXPECT_EQ(PathBuilder::kBaseLevel + 4, steps[0].level);
    EXPECT_EQ(PathBuilder::kBaseLevel + 6, steps[2].level);
    // The first column's first step is its decision.
    EXPECT_EQ(path.pointOf(0, 3), history.columns[0].steps[0].point);
  }
}

TEST(Patterns, AnUndecidedChartHasNothing) {
  PathBuilder path;
  path.settle();
  const PfChart chart = path.chart();
  const ChartHistory history = historyAt(chart, 0, true);
  EXPECT_TRUE(history.columns.empty());
  EXPECT_TRUE(findSignals(history).empty());
  const PfChart empty;
  EXPECT_TRUE(historyAt(empty, 0, true).columns.empty());
}

// What a practitioner reads from price paths, on both kinds of chart: the
// kinds that must be there and those that must not, and the status.
PfChart chartOfCloses(const std::vector<double>& closes, Construction construction) {
  std::vector<PricePoint> points;
  for (const double close : closes)
    points.push_back(testing_util::point(static_cast<int32_t>(points.size()), close));
  return testing_util::chartOf(points, construction);
}

TEST(PriceLevels, WhatAPractitionerReads) {
  const PriceGrid& grid = PathBuilder::grid();
  // A price one level above the level 110 stands on.
  const double aboveTop = grid.level(grid.up(110) + 1) * 1.0001;
  std::vector<double> flat, channel;
  for (int i = 0; i < 8; ++i) flat.insert(flat.end(), {100, 110.5});
  for (int i = 0; i < 8; ++i) channel.insert(channel.end(), {120.0 - 3 * i, 100.0 - 3 * i});
  auto pathCloses = [](const std::vector<int>& counts) {
    std::vector<double> closes;
    const PathBuilder path = settledPath(counts);
    for (const PricePoint& point : path.points()) closes.push_back(point.price);
    return closes;
  };
  const struct {
    const char* name;
    std::vector<double> closes;
    std::vector<PatternKind> present, absent;
    std::optional<Side> status;
  } cases[] = {
      {"flat range", flat, {}, {K::DoubleTopBreakout, K::AscendingTripleTop}, std::nullopt},
      {"falling channel", channel, {K::DoubleBottomBreakdown}, {K::DoubleTopBreakout}, Side::Sell},
      {"a top just below an earlier top",
       {100, 110, 104, 109.6, 104.5},
       {},
       {K::DoubleTopBreakout},
       std::nullopt},
      {"a top one level above",
       {100, 110, 104, aboveTop, aboveTop},
       {K::DoubleTopBreakout},
       {},
       Side::Buy},
      // The pullback O5 4..0 makes a double bottom (below O3's 1): no catapult.
      {"catapult whose pullback breaks down",
       pathCloses({5, -3, 3, -3, 4, -5, 6}),
       {K::TripleTopBreakout, K::DoubleBottomBreakdown, K::DoubleTopBreakout},
       {K::BullishCatapult},
       Side::Buy},
      {"its mirror",
       pathCloses({-5, 3, -3, 3, -4, 5, -6}),
       {K::TripleBottomBreakdown, K::DoubleTopBreakout, K::DoubleBottomBreakdown},
       {K::BearishCatapult},
       Side::Sell},
  };
  for (const auto& c : cases) {
    for (const Construction construction : {Construction::original, Construction::grid}) {
      SCOPED_TRACE(std::string(c.name) + " " + testing_util::constructionName(construction));
      const PfChart chart = chartOfCloses(c.closes, construction);
      const auto signals = findSignals(historyAt(chart, 0, true));
      for (const PatternKind kind : c.present)
        EXPECT_FALSE(ofKind(signals, kind).empty()) << kindName(kind);
      for (const PatternKind kind : c.absent)
        EXPECT_TRUE(ofKind(signals, kind).empty()) << kindName(kind);
      const auto status = signalStatus(signals);
      EXPECT_EQ(c.status.has_value(), status.has_value());
      if (status && c.status) {
        EXPECT_EQ(*c.status, status->side);
      }
    }
  }
}

// On random walks, a literal reading of the breakout rule over the chart's
// own columns: an X column lists a Double Top Breakout exactly when its top
// level lies above that of the X column two before, and the point that
// completes it stands above that top by a level (the mirror for O columns).
TEST(PriceLevels, BreakoutsAreExactlyTheLevelWiseOnes) {
  for (const Construction construction : {Construction::original, Construction::grid}) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
      SCOPED_TRACE(testing_util::constructionName(construction) + " seed " + std::to_string(seed));
      uint32_t state = seed * 2654435761u;
      std::vector<double> closes{100};
      for (int i = 0; i < 3000; ++i) {
        state = state * 1664525u + 1013904223u;
        const double step = (static_cast<double>(state >> 8) / (1 << 24) - 0.5) * 0.016;
        closes.push_back(closes.back() * (1 + step));
      }
      const PfChart chart = chartOfCloses(closes, construction);
      const PriceGrid grid = chart.grid() ? *chart.grid() : PriceGrid::percent(1);
      // The decided columns as the chart holds them, the newest last.
      std::vector<PfColumn> columns;
      const ColumnList built = chart.columns();
      for (size_t i = 0; i + 1 < built.size(); ++i)
        if (built[i].direction != 0) columns.push_back(built[i]);
      columns.push_back(chart.snapshots()[chart.snapshots().size() - 1]);
      auto levelOf = [&](const PfColumn& column) {
        if (chart.grid()) return column.endLevel;
        return column.direction > 0 ? grid.up(column.extremePrice) : grid.down(column.extremePrice);
      };
      const auto signals = findSignals(historyAt(chart, 0, true));
      size_t breakouts = 0;
      for (size_t c = 2; c < columns.size(); ++c) {
        const int32_t d = columns[c].direction;
        const int64_t before = levelOf(columns[c - 2]);
        const bool expected = d > 0 ? levelOf(columns[c]) > before : levelOf(columns[c]) < before;
        const PatternKind kind = d > 0 ? K::DoubleTopBreakout : K::DoubleBottomBreakdown;
        const auto listed = std::find_if(signals.begin(), signals.end(), [&](const Signal& s) {
          return s.kind == kind && s.columnNumber == columns[c].number;
        });
        ASSERT_EQ(expected, listed != signals.end()) << "column " << columns[c].number;
        if (!expected) continue;
        ++breakouts;
        const int64_t reached = d > 0 ? grid.up(listed->price) : grid.down(listed->price);
        EXPECT_GE(d * (reached - before), 1) << "column " << columns[c].number;
      }
      EXPECT_GT(breakouts, 10u);
    }
  }
}

TEST(Patterns, NewSignalsAreKnownByColumnAndKind) {
  auto signal = [](int32_t column, PatternKind kind, double price) {
    Signal s;
    s.columnNumber = column;
    s.kind = kind;
    s.price = price;
    return s;
  };
  // The forming bar read again moves the price of column 3's breakout: not
  // new. Column 5's breakdown was taken back, column 6's is new.
  const std::vector<Signal> before = {signal(3, K::DoubleTopBreakout, 10),
                                      signal(5, K::DoubleBottomBreakdown, 8)};
  const std::vector<Signal> after = {signal(3, K::DoubleTopBreakout, 10.5),
                                     signal(3, K::TripleTopBreakout, 10.5),
                                     signal(6, K::DoubleBottomBreakdown, 7)};
  std::vector<std::pair<int32_t, PatternKind>> fresh;
  for (const Signal& s : newSignals(before, after)) fresh.emplace_back(s.columnNumber, s.kind);
  const std::vector<std::pair<int32_t, PatternKind>> expected = {{3, K::TripleTopBreakout},
                                                                 {6, K::DoubleBottomBreakdown}};
  EXPECT_EQ(expected, fresh);
  EXPECT_TRUE(newSignals(after, after).empty());
}

}  // namespace
}  // namespace tavelund::analysis
