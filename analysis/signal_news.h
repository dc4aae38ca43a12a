#pragma once
// Which signals a rebuilt chart holds that it did not hold before. A signal
// is known by its column and kind, so that a forming bar read again does not
// count twice, and a signal the new batch takes back is not in the answer.
#include <vector>

#include "analysis/patterns.h"

namespace tavelund::analysis {

// The signals of `after` whose column number and kind no signal of `before`
// has, in the order of `after` (oldest first).
std::vector<Signal> newSignals(const std::vector<Signal>& before, const std::vector<Signal>& after);

}  // namespace tavelund::analysis
