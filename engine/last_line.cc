#include "engine/last_line.h"

#include <vector>

#include "common/number_text.h"
#include "common/screen_rules.h"

namespace tavelund {

std::string lastLineText(std::string_view startText, double startPrice, std::string_view lastText,
                         double lastPrice, int32_t digits, size_t columns) {
  const std::string startPriceText = "(" + fixedText(startPrice, digits) + ") => ";
  const std::string lastPriceText = "(" + fixedText(lastPrice, digits) + ")";
  constexpr std::string_view kStart = "LAST LINE : ";
  const size_t fixed = kStart.size() + startPriceText.size() + lastPriceText.size();
  // The minute texts come over the link: shown safe, as all such text.
  const std::vector<std::string> shown =
      screenTextsWithin({startText, lastText}, columns > fixed ? columns - fixed : 0);
  return std::string(kStart) + shown[0] + startPriceText + shown[1] + lastPriceText;
}

void writeLastLine(std::ostream& out, const PfChart& chart, int32_t viewOffset, int32_t digits,
                   size_t columns) {
  // The snapshot the chart shows at this offset; an offset outside the
  // snapshots (left behind by an empty chart) shows the newest.
  writeLastLine(out, chart.lastLineColumn(viewOffset), digits, columns);
}

void writeLastLine(std::ostream& out, const PfColumn& column, int32_t digits, size_t columns) {
  out << lastLineText(column.startPoint.text, column.startPoint.price, column.lastPoint.text,
                      column.lastPoint.price, digits, columns)
      << std::endl;
  out << screenRule() << std::endl;
}

}  // namespace tavelund
