#pragma once
// The scroll commands' offset arithmetic: int32 values, divisions truncated
// toward zero, t3(x) = 3 * (x / 3).
#include <cstdint>
#include <optional>

namespace tavelund {

// The new scroll offset after `command` ('6' '8' 'R' 'U' one line to the
// future, '2' '4' 'D' 'L' one line to the past, '+' and '-' one page, '0'
// and 'Y' newest, '5' oldest), or nothing for a command that is no move.
// Sums are formed without overflow, so an extreme page step still lands on
// 0 or the limit.
std::optional<int32_t> moveOffset(char command, int32_t offset, int32_t limit, int32_t pageStep);

}  // namespace tavelund
