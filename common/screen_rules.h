#pragma once
// The rules that the screens and the run log draw between their parts: one
// width for the screens' lines, one for the log's entries.
#include <string>

namespace tavelund {

inline constexpr int kScreenRuleWidth = 96;
inline constexpr int kLogRuleWidth = 71;

inline std::string screenRule() { return std::string(kScreenRuleWidth, '-'); }
inline std::string logRule() { return std::string(kLogRuleWidth, '-'); }

}  // namespace tavelund
