#include "analysis/objectives.h"

#include <algorithm>

namespace tavelund::analysis {
namespace {

PatternKind basicKind(Side side) {
  return side == Side::Buy ? PatternKind::DoubleTopBreakout : PatternKind::DoubleBottomBreakdown;
}

Side opposite(Side side) { return side == Side::Buy ? Side::Sell : Side::Buy; }

int32_t directionOf(Side side) { return side == Side::Buy ? 1 : -1; }

int64_t clampedLevel(int64_t level) {
  return std::clamp<int64_t>(level, -kGridLevelLimit, kGridLevelLimit);
}

// The signals of `side` after the latest signal of the opposite side (its
// basic kind), oldest first, as positions in `signals`.
std::vector<size_t> sinceOpposite(const std::vector<Signal>& signals, Side side) {
  const PatternKind other = basicKind(opposite(side));
  size_t from = 0;
  for (size_t i = signals.size(); i-- > 0;) {
    if (signals[i].kind == other) {
      from = i + 1;
      break;
    }
  }
  std::vector<size_t> found;
  for (size_t i = from; i < signals.size(); ++i) {
    if (signals[i].side == side) found.push_back(i);
  }
  return found;
}

// Whether a column after `after` goes beyond `level` against the count: an
// O column below it (a bullish count), an X column above it (bearish).
bool returnedBeyond(const ChartHistory& history, int32_t after, int64_t level, Side side) {
  const int32_t against = -directionOf(side);
  for (size_t q = static_cast<size_t>(after) + 1; q < history.columns.size(); ++q) {
    const ColumnTrace& column = history.columns[q];
    if (column.direction == against && (against < 0 ? column.level < level : column.level > level))
      return true;
  }
  return false;
}

Objective counted(const ChartHistory& history, Side side, int64_t from, int64_t boxes,
                  int32_t factor) {
  Objective result;
  result.side = side;
  result.boxes = boxes;
  result.factor = factor;
  result.fromLevel = from;
  result.fromPrice = history.price(from);
  // Within the grid's levels: far beyond them any count says the same.
  const int64_t move = std::min<int64_t>(boxes, kGridLevelLimit) * factor;
  result.price = history.price(clampedLevel(from + directionOf(side) * move));
  return result;
}

// The base a breakout at `c` left: the columns back from c that all hold
// one level at or inside the broken one (counted across that row, to the
// first column without a box on it). Its first column and its outer level
// on the far side (the low of a bullish base).
struct Base {
  int32_t first = 0;
  int64_t far = 0;
};
Base baseOf(const ChartHistory& history, int32_t c) {
  const ColumnTrace& breakout = history.columns[static_cast<size_t>(c)];
  const int64_t broken = history.columns[static_cast<size_t>(c - 2)].level;
  const bool up = breakout.direction > 0;
  int64_t low = up ? breakout.startLevel : broken;
  int64_t high = up ? broken : breakout.startLevel;
  Base base{c, breakout.startLevel};
  for (int32_t q = c - 1; q >= 0; --q) {
    const ColumnTrace& column = history.columns[static_cast<size_t>(q)];
    const int64_t bottom = std::min(column.startLevel, column.level);
    const int64_t top = std::max(column.startLevel, column.level);
    if (std::max(low, bottom) > std::min(high, top)) break;
    low = std::max(low, bottom);
    high = std::min(high, top);
    base.first = q;
    base.far = up ? std::min(base.far, bottom) : std::max(base.far, top);
  }
  return base;
}

bool isBaseBreakout(PatternKind kind) {
  switch (kind) {
    case PatternKind::TripleTopBreakout:
    case PatternKind::TripleBottomBreakdown:
    case PatternKind::QuadrupleTopBreakout:
    case PatternKind::QuadrupleBottomBreakdown:
    case PatternKind::SpreadTripleTop:
    case PatternKind::SpreadTripleBottom:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::optional<Objective> verticalCount(const ChartHistory& history,
                                       const std::vector<Signal>& signals, Side side) {
  const PatternKind kind = basicKind(side);
  for (size_t i : sinceOpposite(signals, side)) {
    if (signals[i].kind != kind) continue;
    const int32_t c = signals[i].column;
    const ColumnTrace& column = history.columns[static_cast<size_t>(c)];
    Objective result = counted(history, side, column.startLevel, column.levels(),
                               side == Side::Buy ? history.reversal : history.reversal - 1);
    result.signalColumn = result.countColumn = c;
    if (c + 1 == static_cast<int32_t>(history.columns.size()))
      result.state = Objective::State::pending;
    else if (returnedBeyond(history, c, column.startLevel, side))
      result.state = Objective::State::cancelled;
    return result;
  }
  return std::nullopt;
}

std::optional<Objective> horizontalCount(const ChartHistory& history,
                                         const std::vector<Signal>& signals, Side side) {
  const std::vector<size_t> run = sinceOpposite(signals, side);
  for (auto it = run.rbegin(); it != run.rend(); ++it) {
    const Signal& signal = signals[*it];
    if (!isBaseBreakout(signal.kind) || signal.column < 2) continue;
    const Base base = baseOf(history, signal.column);
    Objective result =
        counted(history, side, base.far, signal.column - base.first + 1, history.reversal);
    result.signalColumn = signal.column;
    result.countColumn = base.first;
    if (returnedBeyond(history, signal.column, base.far, side))
      result.state = Objective::State::cancelled;
    return result;
  }
  return std::nullopt;
}

Triggers triggers(const ChartHistory& history) {
  Triggers next;
  if (history.columns.empty()) return next;
  const auto c = static_cast<int64_t>(history.columns.size()) - 1;
  const ColumnTrace& current = history.columns.back();
  next.nextBox = history.nextBoxPrice;
  next.reversal = history.reversalPrice;
  // The level a column of `direction` must pass for the next breakout of
  // that side: the current column's own earlier one while it has not passed
  // it, else its own extreme; the column before's when the current column
  // runs the other way (and the price must then reverse as well).
  auto trigger = [&](int32_t direction) -> std::optional<double> {
    if (current.direction == direction) {
      const ColumnTrace* earlier = history.at(c - 2);
      const bool passed = !earlier || (direction > 0 ? current.level > earlier->level
                                                     : current.level < earlier->level);
      const int64_t level = passed ? current.level : earlier->level;
      return history.price(clampedLevel(level + direction));
    }
    const ColumnTrace* before = history.at(c - 1);
    if (!before) return std::nullopt;
    const double price = history.price(clampedLevel(before->level + direction));
    return direction > 0 ? std::max(price, history.reversalPrice)
                         : std::min(price, history.reversalPrice);
  };
  next.buySignal = trigger(1);
  next.sellSignal = trigger(-1);
  return next;
}

}  // namespace tavelund::analysis
