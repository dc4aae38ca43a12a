#include "console/moves.h"

#include "console/commands.h"

namespace tavelund {
namespace {

int64_t t3(int32_t value) { return 3 * static_cast<int64_t>(value / 3); }

int32_t towardFuture(int64_t offset, int32_t limit) {
  return offset < 0 || offset > limit ? 0 : static_cast<int32_t>(offset);
}

int32_t towardPast(int64_t offset, int32_t limit) {
  return offset < 0 || offset > limit ? limit : static_cast<int32_t>(offset);
}

}  // namespace

std::optional<int32_t> moveOffset(char move, int32_t offset, int32_t limit, int32_t pageStep) {
  switch (move) {
    case command::kLineFutureRight:
    case command::kLineFutureUp:
    case command::kControllerFutureRight:
    case command::kControllerFutureUp:
      return towardFuture(t3(offset) - 3, limit);
    case command::kLinePastDown:
    case command::kLinePastLeft:
    case command::kControllerPastDown:
    case command::kControllerPastLeft:
      return towardPast(t3(offset) + 3, limit);
    case command::kPageFuture:
      return towardFuture(t3(offset) - pageStep, limit);
    case command::kPagePast:
      return towardPast(t3(offset) + pageStep, limit);
    case command::kNewest:
    case command::kControllerNewest:
      return 0;
    case command::kOldest:
      return limit;
    default:
      return std::nullopt;
  }
}

}  // namespace tavelund
