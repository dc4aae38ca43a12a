#pragma once
// The "LAST LINE" above the chart: where the column shown at the view
// offset started and the last point it took. The viewer and the chart
// printer write the same lines.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "common/screen_text.h"
#include "engine/pf_chart.h"

namespace tavelund {

// "LAST LINE : start(price) => last(price)", prices with `digits` decimals.
// The two minute texts come over the link: they share what the rest of the
// line leaves of `columns` (the console's line room; none for a file).
std::string lastLineText(std::string_view startText, double startPrice, std::string_view lastText,
                         double lastPrice, int32_t digits, size_t columns = kAnyColumns);

// The last line of the column shown at `viewOffset` (a default column when
// the chart has no snapshots), then the rule of 96 "-". The caller holds
// chartLock.
void writeLastLine(std::ostream& out, const PfChart& chart, int32_t viewOffset, int32_t digits,
                   size_t columns = kAnyColumns);
// The same for the column shown.
void writeLastLine(std::ostream& out, const PfColumn& shown, int32_t digits,
                   size_t columns = kAnyColumns);

}  // namespace tavelund
