#pragma once
// The analysis screen (the P key): the analysis text between the rules and
// the small banner, as the log screen frames the run log. Its lines hold
// minute texts from the link; each is cut to `columns` (the console's line
// room), so that every line takes one row, as the frame's count of rows
// relies on.
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "common/screen_text.h"

namespace tavelund {

// Lines the frame adds around the analysis text, the viewer's own key
// line after it included.
inline constexpr size_t kAnalysisFrameLines = 17;

// The key line of the live view's alert bell, as the text's key lines are
// written: "         'b'          Key  : Alert Bell (ON)" or "(OFF)".
std::string alertBellKeyLine(bool bellOn);

void writeAnalysisScreen(std::ostream& out, const std::vector<std::string>& text, size_t columns,
                         bool bellOn);

}  // namespace tavelund
