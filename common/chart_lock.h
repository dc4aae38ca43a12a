#pragma once
#include <mutex>

namespace tavelund {

// Guards the chart model and the intake's lists. Plain and non-recursive:
// refresh, update, last line, drawing and CSV save each hold it for their
// whole run and never call one another while holding it.
inline std::mutex chartLock;

}  // namespace tavelund
