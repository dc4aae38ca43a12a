#pragma once
// The viewer's fixed screens and the lines above the chart. Every line ends
// with a flushing line end, as all console output does. Texts that come
// from the link are shown with their control characters replaced.
#include <cstdint>
#include <ostream>
#include <string>

#include "common/run_log.h"

namespace tavelund {

inline constexpr const char* kWindowTitle = "TavelundP&F FREE";
inline constexpr int kScreenRuleWidth = 96;
inline constexpr int kLogRuleWidth = 71;

std::string screenRule();  // 96 "-"
std::string logRule();     // 71 "-"

// " " + symbol + " (" + time-frame label + ")"
std::string chartTitle(const std::string& symbol, const std::string& timeSpanLabel);

// "UPDATE >> " + send time + "   " + title
std::string headerLine(const std::string& sendTime, const std::string& title);

void writeKeyboardHelp(std::ostream& out);
void writeJoystickHelp(std::ostream& out);
void writeLogScreen(std::ostream& out, const RunLog& log);
// The log screen's banner, seven lines.
void writeSmallBanner(std::ostream& out);

// The save screen around the save's own output.
void writeSaveScreenTop(std::ostream& out);
void writeSaveScreenBottom(std::ostream& out);

// Shown when the MT5 side publishes nothing at start.
void writeDriverBlock(std::ostream& out);

}  // namespace tavelund
