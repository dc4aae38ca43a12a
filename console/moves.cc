#include "console/moves.h"

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

std::optional<int32_t> moveOffset(char command, int32_t offset, int32_t limit, int32_t pageStep) {
  switch (command) {
    case '6':
    case '8':
    case 'R':
    case 'U':
      return towardFuture(t3(offset) - 3, limit);
    case '2':
    case '4':
    case 'D':
    case 'L':
      return towardPast(t3(offset) + 3, limit);
    case '+':
      return towardFuture(t3(offset) - pageStep, limit);
    case '-':
      return towardPast(t3(offset) + pageStep, limit);
    case '0':
    case 'Y':
      return 0;
    case '5':
      return limit;
    default:
      return std::nullopt;
  }
}

}  // namespace tavelund
