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

// Lines the frame adds around the analysis text.
inline constexpr size_t kAnalysisFrameLines = 16;

void writeAnalysisScreen(std::ostream& out, const std::vector<std::string>& text,
                         size_t columns = kAnyColumns);

}  // namespace tavelund
