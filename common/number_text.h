#pragma once
// Number texts used by every console text and by the timeline line format.
#include <string>

namespace tavelund {

// Fixed notation with exactly `digits` decimals, as the standard stream's
// std::fixed with setprecision(digits) writes it ("." point, no grouping,
// leading "-" for negatives). A negative digit count is taken as 0.
std::string fixedText(double value, int digits);

// Appends the same text to `out` without a temporary.
void appendFixed(std::string& out, double value, int digits);

// Decimal text padded on the left with '0' to at least `width` characters,
// as a right-aligned stream field with fill '0' writes it (so -1 at width 4
// is "00-1").
std::string zeroPadded(long long value, int width);
void appendZeroPadded(std::string& out, long long value, int width);

}  // namespace tavelund
