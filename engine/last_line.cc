#include "engine/last_line.h"

#include "common/number_text.h"
#include "common/screen_text.h"

namespace tavelund {

std::string lastLineText(std::string_view startText, double startPrice, std::string_view lastText,
                         double lastPrice, int32_t digits) {
  // The minute texts come over the link: shown safe, as all such text.
  std::string text = "LAST LINE : " + screenText(startText) + "(";
  appendFixed(text, startPrice, digits);
  text += ") => " + screenText(lastText) + "(";
  appendFixed(text, lastPrice, digits);
  text += ")";
  return text;
}

void writeLastLine(std::ostream& out, const PfChart& chart, int32_t viewOffset, int32_t digits) {
  // The snapshot the chart shows at this offset; an offset outside the
  // snapshots (left behind by an empty chart) shows the newest.
  const PfColumn column = chart.lastLineColumn(viewOffset);
  out << lastLineText(column.startPoint.text, column.startPoint.price, column.lastPoint.text,
                      column.lastPoint.price, digits)
      << std::endl;
  out << std::string(96, '-') << std::endl;
}

}  // namespace tavelund
