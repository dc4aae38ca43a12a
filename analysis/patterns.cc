#include "analysis/patterns.h"

#include <algorithm>
#include <tuple>

namespace tavelund::analysis {
namespace {

struct KindInfo {
  std::string_view name;
  Side side;
};

constexpr std::array<KindInfo, kPatternKindCount> kKinds = {{
    {"Double Top Breakout", Side::Buy},
    {"Double Bottom Breakdown", Side::Sell},
    {"Triple Top Breakout", Side::Buy},
    {"Triple Bottom Breakdown", Side::Sell},
    {"Quadruple Top Breakout", Side::Buy},
    {"Quadruple Bottom Breakdown", Side::Sell},
    {"Ascending Triple Top", Side::Buy},
    {"Descending Triple Bottom", Side::Sell},
    {"Bullish Catapult", Side::Buy},
    {"Bearish Catapult", Side::Sell},
    {"Bearish Signal Reversed", Side::Buy},
    {"Bullish Signal Reversed", Side::Sell},
    {"Bull Trap", Side::Sell},
    {"Bear Trap", Side::Buy},
    {"High Pole", Side::Sell},
    {"Low Pole", Side::Buy},
    {"Bullish Triangle", Side::Buy},
    {"Bearish Triangle", Side::Sell},
    {"Spread Triple Top", Side::Buy},
    {"Spread Triple Bottom", Side::Sell},
    {"Long Tail Down", Side::Buy},
}};

// The kinds come in pairs: the rising form, then its mirror.
PatternKind paired(PatternKind rising, int32_t direction) {
  return static_cast<PatternKind>(static_cast<int>(rising) + (direction > 0 ? 0 : 1));
}

// Levels seen from one direction: a column's extreme level times the direction,
// so "higher" means higher tops for X columns and lower bottoms for O
// columns, and each mirror kind reads as its rising form.
class Frame {
 public:
  Frame(const ChartHistory& history, int32_t column)
      : history_(history), column_(column), direction_(history.columns[column].direction) {}
  bool has(int back) const { return history_.at(int64_t{column_} - back) != nullptr; }
  int64_t e(int back) const {
    return int64_t{direction_} * history_.at(int64_t{column_} - back)->level;
  }
  int32_t direction() const { return direction_; }

 private:
  const ChartHistory& history_;
  int32_t column_;
  int32_t direction_;
};

// Kinds completed by the growth of column c past the outer row of c-2.
void breakoutConditions(const Frame& f, std::array<bool, kPatternKindCount>& holds) {
  if (!f.has(2) || !(f.e(0) > f.e(2))) return;
  auto set = [&](PatternKind rising) {
    holds[static_cast<int>(paired(rising, f.direction()))] = true;
  };
  set(PatternKind::DoubleTopBreakout);
  if (f.has(4)) {
    if (f.e(2) == f.e(4)) set(PatternKind::TripleTopBreakout);
    if (f.e(2) > f.e(4)) set(PatternKind::AscendingTripleTop);
    if (f.e(2) < f.e(4) && f.e(1) > f.e(3)) set(PatternKind::BullishTriangle);
  }
  if (f.has(6)) {
    if (f.e(2) == f.e(4) && f.e(4) == f.e(6)) set(PatternKind::QuadrupleTopBreakout);
    // The pullback between the two breakouts makes no breakdown of its own:
    // its low stays at or above the low before it (which is also the
    // pattern's low, or above it).
    if (f.e(2) > f.e(4) && f.e(4) == f.e(6) && f.e(1) >= f.e(3)) set(PatternKind::BullishCatapult);
    // Lower highs and lower lows, ended by a breakout: the bearish trend's
    // signal reversed (a buy).
    if (f.e(2) < f.e(4) && f.e(4) < f.e(6) && f.e(1) < f.e(3) && f.e(3) < f.e(5))
      set(PatternKind::BearishSignalReversed);
    if (f.e(2) == f.e(6) && f.e(6) > f.e(4)) set(PatternKind::SpreadTripleTop);
  }
}

// Kinds completed by column c, the one after the column they are about.
void reversalConditions(const ChartHistory& history, int32_t c,
                        std::array<bool, kPatternKindCount>& holds) {
  if (c < 1) return;
  const ColumnTrace& made = history.columns[static_cast<size_t>(c)];
  const ColumnTrace& about = history.columns[static_cast<size_t>(c - 1)];
  const Frame f(history, c - 1);
  auto set = [&](PatternKind rising) {
    holds[static_cast<int>(paired(rising, f.direction()))] = true;
  };
  // A triple (or quadruple) breakout by exactly one level, then the reversal.
  if (f.has(4) && f.e(0) == f.e(2) + 1 && f.e(2) == f.e(4)) set(PatternKind::BullTrap);
  // Three levels or more beyond c-2, then more than half given back.
  if (f.has(2) && f.e(0) >= f.e(2) + 3 && 2 * made.levels() > about.levels())
    set(PatternKind::HighPole);
  if (about.direction < 0 && about.levels() >= 20)
    holds[static_cast<int>(PatternKind::LongTailDown)] = true;
}

Signal signalAt(const ChartHistory& history, int32_t c, PatternKind kind, const BoxStep& step) {
  const ColumnTrace& column = history.columns[static_cast<size_t>(c)];
  Signal signal;
  signal.kind = kind;
  signal.side = kindSide(kind);
  signal.column = c;
  signal.columnNumber = column.number;
  signal.point = step.point;
  if (const auto point = history.point(step.point)) {
    signal.time = std::string(point->text);
    signal.price = point->price;
  }
  signal.level = step.level;
  // The drawn box that holds the level, within the column's drawn boxes.
  signal.row = static_cast<int32_t>(std::clamp<int64_t>(rowOfLevel(history, column, step.level),
                                                        column.bottomRow, column.topRow));
  return signal;
}

bool isBreakout(PatternKind kind) {
  switch (kind) {
    case PatternKind::BullTrap:
    case PatternKind::BearTrap:
    case PatternKind::HighPole:
    case PatternKind::LowPole:
    case PatternKind::LongTailDown:
      return false;
    default:
      return true;
  }
}

}  // namespace

std::string_view kindName(PatternKind kind) { return kKinds[static_cast<size_t>(kind)].name; }
Side kindSide(PatternKind kind) { return kKinds[static_cast<size_t>(kind)].side; }
std::string_view sideName(Side side) { return side == Side::Buy ? "BUY" : "SELL"; }

std::array<bool, kPatternKindCount> conditionsAt(const ChartHistory& history, int32_t index) {
  std::array<bool, kPatternKindCount> holds{};
  if (!history.at(index)) return holds;
  breakoutConditions(Frame(history, index), holds);
  reversalConditions(history, index, holds);
  return holds;
}

std::vector<Signal> findSignals(const ChartHistory& history) {
  std::vector<Signal> signals;
  const auto count = static_cast<int32_t>(history.columns.size());
  for (int32_t c = 0; c < count; ++c) {
    const std::array<bool, kPatternKindCount> holds = conditionsAt(history, c);
    const ColumnTrace& column = history.columns[static_cast<size_t>(c)];
    for (int k = 0; k < kPatternKindCount; ++k) {
      if (!holds[static_cast<size_t>(k)]) continue;
      const auto kind = static_cast<PatternKind>(k);
      const BoxStep* step = nullptr;
      if (isBreakout(kind)) {
        // The first point at which c's extreme passed that of c-2.
        step = firstStepBeyond(column, history.columns[static_cast<size_t>(c - 2)].level);
      } else if (kind == PatternKind::HighPole || kind == PatternKind::LowPole) {
        const ColumnTrace& pole = history.columns[static_cast<size_t>(c - 1)];
        step = firstStepWith(column, pole.levels() / 2 + 1);
      } else if (!column.steps.empty()) {
        step = &column.steps.front();  // the reversal itself
      }
      if (step) signals.push_back(signalAt(history, c, kind, *step));
    }
  }
  std::stable_sort(signals.begin(), signals.end(), [](const Signal& a, const Signal& b) {
    return std::tie(a.point, a.column, a.kind) < std::tie(b.point, b.column, b.kind);
  });
  return signals;
}

std::vector<Signal> shownSignals(const ChartHistory& history, const std::vector<Signal>& all) {
  std::vector<Signal> shown;
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    if (it->column >= history.firstShown()) shown.push_back(*it);
  }
  return shown;
}

std::optional<Signal> signalStatus(const std::vector<Signal>& signals) {
  for (auto it = signals.rbegin(); it != signals.rend(); ++it) {
    if (it->kind == PatternKind::DoubleTopBreakout ||
        it->kind == PatternKind::DoubleBottomBreakdown)
      return *it;
  }
  return std::nullopt;
}

}  // namespace tavelund::analysis
