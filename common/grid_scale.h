#pragma once
// The box scale of a chart drawn on one price grid, as a trader writes it:
// "1%" or "0.25%" (a percentage on a log scale), "0.0010" or "25" (a fixed
// box in price units), "trad" (the traditional table) or "atr14" (a fixed box
// that is the mean true range of the last 14 bars).
#include <optional>
#include <string>
#include <string_view>

namespace tavelund {

struct GridScale {
  enum class Kind { percent, fixed, traditional, atr };
  Kind kind = Kind::percent;
  double value = 0;  // the percent P, or the box in price units; unused otherwise
  int atrBars = 0;   // N of atrN
  friend bool operator==(const GridScale&, const GridScale&) = default;
};

inline constexpr double kMostGridPercent = 50;
inline constexpr int kMostAtrBars = 1000;

// The scale written in `text`, or nothing with a one-line `reason` that
// names the text. Numbers are read the same way in every locale.
std::optional<GridScale> parseGridScale(std::string_view text, std::string& reason);

// The scale's canonical text ("1%", "0.001", "trad", "atr14"), which
// parseGridScale reads back to the same scale.
std::string gridScaleText(const GridScale& scale);

}  // namespace tavelund
