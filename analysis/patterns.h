#pragma once
// The chart patterns: which of the 21 kinds each column completes, and at
// which point. T(c) is the top level of X column c, B(c) the bottom level of
// O column c (chart_history.h); docs/analysis.md has the definitions, their
// sources and a drawing of each.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/chart_history.h"

namespace tavelund::analysis {

enum class Side { Buy, Sell };

enum class PatternKind {
  DoubleTopBreakout,
  DoubleBottomBreakdown,
  TripleTopBreakout,
  TripleBottomBreakdown,
  QuadrupleTopBreakout,
  QuadrupleBottomBreakdown,
  AscendingTripleTop,
  DescendingTripleBottom,
  BullishCatapult,
  BearishCatapult,
  BearishSignalReversed,  // the rising form: a falling chart turns (a buy)
  BullishSignalReversed,
  BullTrap,
  BearTrap,
  HighPole,
  LowPole,
  BullishTriangle,
  BearishTriangle,
  SpreadTripleTop,
  SpreadTripleBottom,
  LongTailDown,
};
inline constexpr int kPatternKindCount = 21;

std::string_view kindName(PatternKind kind);
Side kindSide(PatternKind kind);
std::string_view sideName(Side side);  // "BUY" or "SELL"

struct Signal {
  PatternKind kind = PatternKind::DoubleTopBreakout;
  Side side = Side::Buy;
  // The column whose growth (or making, for the kinds that complete at a
  // reversal) completed the pattern: its index in the history and its
  // chart number.
  int32_t column = -1;
  int32_t columnNumber = -1;
  // The completing point: its position in the chart's points, its minute
  // text and price; the level of the column's extreme right after it, and
  // the drawn row that holds that level.
  int32_t point = -1;
  std::string time;
  double price = 0;
  int64_t level = 0;
  int32_t row = 0;
};

// Every pattern completed in the history (which must hold steps), ordered
// by completing point, then by column, then by kind.
std::vector<Signal> findSignals(const ChartHistory& history);

// The signals completed in the history's shown columns, newest first.
std::vector<Signal> shownSignals(const ChartHistory& history, const std::vector<Signal>& all);

// Which kinds' conditions hold for the column at `index` as it stands, by
// levels only (no completing point). Tests and the fuzz target check every
// reported signal against this.
std::array<bool, kPatternKindCount> conditionsAt(const ChartHistory& history, int32_t index);

// The signal status: the side of the latest Double Top Breakout or Double
// Bottom Breakdown, with that signal; nothing before the first.
std::optional<Signal> signalStatus(const std::vector<Signal>& signals);

}  // namespace tavelund::analysis
