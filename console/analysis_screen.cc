#include "console/analysis_screen.h"

#include "console/screens.h"

namespace tavelund {

std::string alertBellKeyLine(bool bellOn) {
  return std::string("         'b'          Key  : Alert Bell ") + (bellOn ? "(ON)" : "(OFF)");
}

void writeAnalysisScreen(std::ostream& out, const std::vector<std::string>& text, size_t columns,
                         bool bellOn) {
  auto line = [&](const std::string& content = {}) { out << content << std::endl; };
  line(screenRule());
  line();
  line();
  writeSmallBanner(out);
  line();
  line();
  line(screenRule());
  line();
  for (const std::string& content : text) line(screenTextWithin(content, columns));
  line(screenTextWithin(alertBellKeyLine(bellOn), columns));
  line();
  line(screenRule());
}

}  // namespace tavelund
