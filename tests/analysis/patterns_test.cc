// Each pattern kind on a hand-made path that completes it, and on a near
// miss that does not; then the same with the path mirrored (every column
// turned over), which must give the mirror kind. Reversal 3, so every
// column holds at least 3 boxes. The rows in the comments are worked out
// by hand: an X column starts one row above the bottom of the O before
// it, an O column one row below the top of the X before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/chart_history.h"
#include "analysis/patterns.h"
#include "path_builder.h"

namespace tavelund::analysis {
namespace {

using testing_util::PathBuilder;
using testing_util::settledPath;

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

std::vector<Signal> signalsOf(const PathBuilder& path) {
  const PfChart chart = path.chart();
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
     PatternKind::BullishSignalReversed,
     6,
     6,
     // O3 5..3 does not go below O1's bottom.
     {9, -5, 3, -3, 3, -5, 6}},
    // X4 2..5 breaks T2 = T0 = 4 by exactly one row; O5 reverses.
    {"BullTrap", {5, -3, 3, -3, 4, -3}, PatternKind::BullTrap, 5, 3, {5, -3, 3, -3, 5, -3}},
    // X2 1..7 is 4 rows above T0 = 3; O3 6..3 gives back 4 of its 7 boxes.
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

class EachKind : public ::testing::TestWithParam<Case> {};

void expectCompleted(const std::vector<int>& counts, PatternKind kind, int column, int boxes) {
  const PathBuilder path = settledPath(counts);
  const auto found = ofKind(signalsOf(path), kind);
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
  const Case& c = GetParam();
  expectCompleted(c.counts, c.kind, c.column, c.boxes);
}

// Neither a signal of `kind` nor its condition in any column.
void expectNotCompleted(const std::vector<int>& counts, PatternKind kind) {
  const PathBuilder path = settledPath(counts);
  const PfChart chart = path.chart();
  const ChartHistory history = historyAt(chart, 0, true);
  EXPECT_TRUE(ofKind(findSignals(history), kind).empty()) << kindName(kind);
  for (int column = 0; column < static_cast<int>(history.columns.size()); ++column) {
    EXPECT_FALSE(conditionsAt(history, column)[static_cast<size_t>(kind)]) << column;
  }
}

TEST_P(EachKind, NearMissDoesNotComplete) {
  const Case& c = GetParam();
  expectNotCompleted(c.nearMiss, c.kind);
}

TEST_P(EachKind, MirrorCompletesTheMirrorKind) {
  const Case& c = GetParam();
  if (c.kind == PatternKind::LongTailDown) {
    // It has no mirror: a long rise and a reversal down signal no tail.
    const auto signals = signalsOf(settledPath(turnedOver(c.counts)));
    EXPECT_TRUE(ofKind(signals, PatternKind::LongTailDown).empty());
    return;
  }
  expectCompleted(turnedOver(c.counts), mirrored(c.kind), c.column, c.boxes);
  EXPECT_TRUE(ofKind(signalsOf(settledPath(turnedOver(c.nearMiss))), mirrored(c.kind)).empty());
}

INSTANTIATE_TEST_SUITE_P(Patterns, EachKind, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A pole stands three rows or more beyond the column two before, and the
// reversal after it gives back more than half of it: both at their edges.
TEST(Patterns, PolesAtTheirEdges) {
  // X2 1..6 is exactly three rows above T0 = 3; O3 gives back 4 of 6.
  expectCompleted({4, -3, 6, -4}, PatternKind::HighPole, 3, 4);
  expectCompleted({-4, 3, -6, 4}, PatternKind::LowPole, 3, 4);
  // X2 1..8: half of it (4 boxes) is not enough, the 5th box completes.
  expectCompleted({4, -3, 8, -5}, PatternKind::HighPole, 3, 5);
  expectCompleted({-4, 3, -8, 5}, PatternKind::LowPole, 3, 5);
  // Two rows above T0 only; exactly half given back.
  for (const std::vector<int>& counts : {std::vector<int>{4, -3, 5, -4}, {4, -3, 8, -4}}) {
    SCOPED_TRACE(::testing::PrintToString(counts));
    expectNotCompleted(counts, PatternKind::HighPole);
    expectNotCompleted(turnedOver(counts), PatternKind::LowPole);
  }
}

TEST(Patterns, SidesAndNamesOfAllKinds) {
  EXPECT_EQ("Double Top Breakout", kindName(PatternKind::DoubleTopBreakout));
  EXPECT_EQ("Long Tail Down", kindName(PatternKind::LongTailDown));
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
  // it broke out by one row only, the reversal after it is a bull trap.
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

TEST(Patterns, RowsFollowTheDrawing) {
  const PathBuilder path = settledPath({5, -3, 5, -3});
  const PfChart chart = path.chart();
  const ChartHistory history = historyAt(chart, 0, true);
  ASSERT_EQ(4u, history.columns.size());
  const int rows[][2] = {{0, 4}, {1, 3}, {2, 6}, {3, 5}};  // bottom, top
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(rows[i][0], history.columns[i].bottomRow) << i;
    EXPECT_EQ(rows[i][1], history.columns[i].topRow) << i;
  }
  // The first step of a reversed column is the reversal point with its
  // three boxes; then one step per box.
  const auto& steps = history.columns[2].steps;
  ASSERT_EQ(3u, steps.size());
  EXPECT_EQ(path.pointOf(2, 3), steps[0].point);
  EXPECT_EQ(3, steps[0].boxes);
  EXPECT_EQ(5, steps[2].boxes);
  // The first column's first step is its decision.
  EXPECT_EQ(path.pointOf(0, 3), history.columns[0].steps[0].point);
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

}  // namespace
}  // namespace tavelund::analysis
