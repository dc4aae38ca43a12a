#include "engine/box_text.h"

#include "common/number_text.h"

namespace tavelund {
namespace {

std::string gridBoxText(const GridScale& scale, const std::optional<PriceGrid>& grid,
                        int32_t digits) {
  switch (scale.kind) {
    case GridScale::Kind::traditional:
      return "TRADITIONAL TABLE";
    case GridScale::Kind::atr: {
      std::string text = "ATR" + std::to_string(scale.atrBars);
      if (grid) text += " = " + fixedText(grid->step(), digits);
      return text + " ON ONE GRID";
    }
    default:
      return gridScaleText(scale) + " ON ONE GRID";
  }
}

}  // namespace

std::string boxSizeText(const PfChart& chart) {
  if (chart.gridScale()) return gridBoxText(*chart.gridScale(), chart.grid(), chart.digits());
  return fixedText(chart.boxFraction() * 100, chart.digits()) + " %";
}

std::string boxSizeText(const ChartSettings& settings) {
  if (settings.grid) return gridBoxText(*settings.grid, std::nullopt, settings.digits);
  return fixedText(settings.boxFraction * 100, settings.digits) + " %";
}

std::string constructionText(const std::optional<GridScale>& grid, bool highLow) {
  if (!grid) return "EACH COLUMN ON ITS OWN BOXES";
  return highLow ? "ONE GRID BY HIGHS AND LOWS" : "ONE GRID BY CLOSES";
}

}  // namespace tavelund
