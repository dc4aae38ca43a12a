#include "analysis/objectives.h"

namespace tavelund::analysis {
namespace {

bool isBasicSignal(const Signal& signal, Side side) {
  return signal.kind ==
         (side == Side::Buy ? PatternKind::DoubleTopBreakout : PatternKind::DoubleBottomBreakdown);
}

}  // namespace

std::optional<Objective> objective(const ChartHistory& history, const std::vector<Signal>& signals,
                                   Side side) {
  // The latest signal of this side, and the opposite one before it.
  const Signal* latest = nullptr;
  for (auto it = signals.rbegin(); it != signals.rend() && !latest; ++it) {
    if (isBasicSignal(*it, side)) latest = &*it;
  }
  if (!latest) return std::nullopt;
  const Side other = side == Side::Buy ? Side::Sell : Side::Buy;
  int32_t first = 0;
  for (auto it = signals.rbegin(); it != signals.rend(); ++it) {
    if (it->point < latest->point && isBasicSignal(*it, other)) {
      first = it->column;
      break;
    }
  }

  // The extreme the move started from: a low (O column) for a buy signal.
  const int32_t extremeDirection = side == Side::Buy ? -1 : 1;
  int32_t extreme = -1;
  for (int32_t q = first; q < latest->column; ++q) {
    const ColumnTrace& column = history.columns[static_cast<size_t>(q)];
    if (column.direction != extremeDirection) continue;
    if (extreme < 0) {
      extreme = q;
      continue;
    }
    const ColumnTrace& best = history.columns[static_cast<size_t>(extreme)];
    if (side == Side::Buy ? column.bottomRow <= best.bottomRow : column.topRow >= best.topRow)
      extreme = q;
  }
  const ColumnTrace* counted = history.at(int64_t{extreme} + 1);
  if (extreme < 0 || !counted) return std::nullopt;

  Objective result;
  result.side = side;
  result.signalColumn = latest->column;
  result.countColumn = extreme + 1;
  result.boxes = counted->boxes;
  result.factor = side == Side::Buy ? history.reversal : history.reversal - 1;
  result.startPrice = counted->basePrice;
  const double move = result.boxes * static_cast<double>(result.factor) * counted->boxSize;
  result.price = side == Side::Buy ? result.startPrice + move : result.startPrice - move;
  return result;
}

}  // namespace tavelund::analysis
