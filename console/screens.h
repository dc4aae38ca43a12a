#pragma once
// The viewer's fixed screens and the lines above the chart. Every line ends
// with a flushing line end, as all console output does. Texts that come
// from the link are shown with their control characters replaced, and cut
// to the cells their line has left for them (`columns`, screenLineRoom of
// the console's width), so that none of them makes its line wrap.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

#include "common/run_log.h"
#include "common/screen_rules.h"
#include "common/screen_text.h"

namespace tavelund {

inline constexpr const char* kWindowTitle = "TavelundP&F FREE";

// What the header names after the send time, in its parts: the symbol
// comes over the link, the label is the viewer's own.
struct ChartTitle {
  std::string symbol;
  std::string timeSpanLabel;
};

// " " + symbol + " (" + time-frame label + ")"
std::string chartTitle(const ChartTitle& title);

// "UPDATE >> " + send time + "   " + chartTitle(title), the send time and the
// symbol sharing what the fixed parts leave of `columns`.
std::string headerLine(const std::string& sendTime, const ChartTitle& title, size_t columns);

void writeKeyboardHelp(std::ostream& out);
void writeJoystickHelp(std::ostream& out);
void writeLogScreen(std::ostream& out, const RunLog& log, size_t columns = kAnyColumns);
// The log screen's banner, seven lines.
void writeSmallBanner(std::ostream& out);

// The save screen around the save's own output.
void writeSaveScreenTop(std::ostream& out);
void writeSaveScreenBottom(std::ostream& out);

// Shown when the MT5 side publishes nothing at start.
void writeDriverBlock(std::ostream& out);

}  // namespace tavelund
