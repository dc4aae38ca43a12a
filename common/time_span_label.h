#pragma once
// The label of an MT5 time-frame code ("M1", "H1", "D1", ...); every code
// without a label of its own gives "NODATA".
#include <string>

namespace tavelund {

std::string timeSpanLabel(int code);

}  // namespace tavelund
