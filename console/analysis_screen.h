#pragma once
// The analysis screen (the P key): the analysis text between the rules and
// the small banner, as the log screen frames the run log.
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace tavelund {

// Lines the frame adds around the analysis text.
inline constexpr size_t kAnalysisFrameLines = 16;

void writeAnalysisScreen(std::ostream& out, const std::vector<std::string>& text);

}  // namespace tavelund
