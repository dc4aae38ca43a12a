#include "common/grid_scale.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "common/printable.h"

namespace tavelund {
namespace {

std::string quoted(std::string_view text) { return "\"" + printable(text) + "\""; }

std::optional<GridScale> refuse(std::string& reason, std::string_view text,
                                std::string_view problem) {
  reason = quoted(text) + ": " + std::string(problem);
  return std::nullopt;
}

std::optional<GridScale> refuseTrailing(std::string& reason, std::string_view text,
                                        std::string_view rest) {
  return refuse(reason, text, "unexpected " + quoted(rest) + " after the number");
}

std::optional<GridScale> parseAtr(std::string_view text, std::string& reason) {
  const std::string_view count = text.substr(3);
  constexpr std::string_view range = "the ATR takes 1 to 1000 bars";
  int bars = 0;
  const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), bars);
  if (end == count.data()) return refuse(reason, text, range);
  if (end != count.data() + count.size()) {
    return refuseTrailing(reason, text, count.substr(static_cast<size_t>(end - count.data())));
  }
  if (error != std::errc() || bars < 1 || bars > kMostAtrBars) return refuse(reason, text, range);
  return GridScale{GridScale::Kind::atr, 0, bars};
}

}  // namespace

std::optional<GridScale> parseGridScale(std::string_view text, std::string& reason) {
  if (text == "trad") return GridScale{GridScale::Kind::traditional, 0, 0};
  if (text.starts_with("atr")) return parseAtr(text, reason);

  double value = 0;
  const char* const last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  if (end == text.data()) {
    return refuse(reason, text,
                  "not a grid scale (a percent like 1%, a box like 0.0010, trad or atrN)");
  }
  std::string_view rest(end, static_cast<size_t>(last - end));
  const bool percent = rest.starts_with('%');
  if (percent) rest.remove_prefix(1);
  if (!rest.empty()) return refuseTrailing(reason, text, rest);
  // Beyond a double's range either way (1e400, 1e-400).
  if (error != std::errc()) return refuse(reason, text, "the number is out of range");
  if (!std::isfinite(value)) return refuse(reason, text, "the number must be finite");
  if (percent) {
    if (!(value > 0 && value <= kMostGridPercent)) {
      return refuse(reason, text, "the percent must be above 0 and at most 50");
    }
    return GridScale{GridScale::Kind::percent, value, 0};
  }
  if (!(value > 0)) return refuse(reason, text, "the box must be above 0");
  return GridScale{GridScale::Kind::fixed, value, 0};
}

std::string gridScaleText(const GridScale& scale) {
  switch (scale.kind) {
    case GridScale::Kind::traditional:
      return "trad";
    case GridScale::Kind::atr:
      return "atr" + std::to_string(scale.atrBars);
    case GridScale::Kind::percent:
    case GridScale::Kind::fixed:
      break;
  }
  // The shortest plain decimal that reads back to the same value; room for
  // the longest (the smallest subnormal has some 750 digits).
  char buffer[1100];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, scale.value, std::chars_format::fixed);
  std::string text = error == std::errc() ? std::string(buffer, end) : std::string("nan");
  if (scale.kind == GridScale::Kind::percent) text += '%';
  return text;
}

}  // namespace tavelund
