#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "common/grid_scale.h"
#include "engine/pf_chart.h"
#include "engine/price_grid.h"
#include "tests/engine/grid_paths.h"
#include "tests/support/grid_oracle.h"

namespace tavelund {
namespace {

using Kind = GridScale::Kind;

TEST(GridScale, ReadsTheScalesATraderWritesAndWritesThemBack) {
  struct Case {
    std::string_view text;
    GridScale scale;
    std::string_view canonical;
  };
  const Case cases[] = {
      {"1%", {Kind::percent, 1, 0}, "1%"},         {"0.25%", {Kind::percent, 0.25, 0}, "0.25%"},
      {"50%", {Kind::percent, 50, 0}, "50%"},      {"0.0010", {Kind::fixed, 0.001, 0}, "0.001"},
      {"25", {Kind::fixed, 25, 0}, "25"},          {"1e-5", {Kind::fixed, 0.00001, 0}, "0.00001"},
      {"trad", {Kind::traditional, 0, 0}, "trad"}, {"atr14", {Kind::atr, 0, 14}, "atr14"},
      {"atr1", {Kind::atr, 0, 1}, "atr1"},         {"atr1000", {Kind::atr, 0, 1000}, "atr1000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string reason;
    const std::optional<GridScale> scale = parseGridScale(c.text, reason);
    ASSERT_TRUE(scale) << reason;
    EXPECT_EQ(*scale, c.scale);
    EXPECT_EQ(gridScaleText(*scale), c.canonical);
    EXPECT_EQ(parseGridScale(gridScaleText(*scale), reason), scale);
  }
}

TEST(GridScale, RefusesWithAOneLineReason) {
  const std::string notAScale =
      ": not a grid scale (a percent like 1%, a box like 0.0010, trad or atrN)";
  const std::pair<std::string_view, std::string> cases[] = {
      {"", "\"\"" + notAScale},
      {"abc", "\"abc\"" + notAScale},
      {"+1", "\"+1\"" + notAScale},
      {" 1", "\" 1\"" + notAScale},
      {"trad2", "\"trad2\"" + notAScale},
      {"atr0", "\"atr0\": the ATR takes 1 to 1000 bars"},
      {"atr1001", "\"atr1001\": the ATR takes 1 to 1000 bars"},
      {"atr", "\"atr\": the ATR takes 1 to 1000 bars"},
      {"atr-3", "\"atr-3\": the ATR takes 1 to 1000 bars"},
      {"atr14x", "\"atr14x\": unexpected \"x\" after the number"},
      {"0", "\"0\": the box must be above 0"},
      {"-5", "\"-5\": the box must be above 0"},
      {"0%", "\"0%\": the percent must be above 0 and at most 50"},
      {"50.5%", "\"50.5%\": the percent must be above 0 and at most 50"},
      {"-1%", "\"-1%\": the percent must be above 0 and at most 50"},
      {"1.5x", "\"1.5x\": unexpected \"x\" after the number"},
      {"1,5", "\"1,5\": unexpected \",5\" after the number"},
      {"1%%", "\"1%%\": unexpected \"%\" after the number"},
      {"1 %", "\"1 %\": unexpected \" %\" after the number"},
      {"inf", "\"inf\": the number must be finite"},
      {"nan%", "\"nan%\": the number must be finite"},
      {"1e400", "\"1e400\": the number is out of range"},
      {"1\x1b[2J", "\"1\\x1B[2J\": unexpected \"\\x1B[2J\" after the number"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    std::string reason;
    EXPECT_FALSE(parseGridScale(text, reason));
    EXPECT_EQ(reason, expected);
  }
}

struct LevelCase {
  const char* grid;
  double price;
  int64_t up, down;
};

PriceGrid gridNamed(std::string_view name) {
  std::string reason;
  return *gridForScale(*parseGridScale(name, reason), {}, reason);
}

TEST(PriceGrid, TheLevelOfAPriceEachWay) {
  constexpr int64_t limit = kGridLevelLimit;
  const double inTolerance = 5e-10, outOfTolerance = 2e-9;
  const LevelCase cases[] = {
      // Percent, log scale: L(k) = 1.01^k.
      {"1%", 1.0, 0, 0},
      {"1%", 1.01, 1, 1},
      {"1%", 1.01 * (1 + inTolerance), 1, 1},
      {"1%", 1.01 * (1 - inTolerance), 1, 1},
      {"1%", 1.01 * (1 + outOfTolerance), 1, 2},
      {"1%", 1.01 * (1 - outOfTolerance), 0, 1},
      {"1%", 0.5, -70, -69},
      {"1%", 1e300, 69422, 69423},
      {"1%", 1e-300, -69423, -69422},
      {"1%", 0, -limit, -limit},
      {"1%", -1, -limit, -limit},
      {"1%", INFINITY, limit, limit},
      {"1%", NAN, -limit, -limit},
      {"0.25%", 1.085, 32, 33},
      {"0.25%", 100, 1844, 1845},
      // Fixed box in price units.
      {"0.0010", 1.0850, 1085, 1085},
      {"0.0010", 1.0850 * (1 + inTolerance), 1085, 1085},
      {"0.0010", 1.0850 * (1 - inTolerance), 1085, 1085},
      {"0.0010", 1.08505, 1085, 1086},
      {"0.0010", 0, 0, 0},
      {"0.0010", -0.0025, -3, -2},
      {"0.0010", 1e-300, 0, 1},
      // 1e-9 of this price is 40 boxes: the tolerance stays below a box.
      {"25", 1e12, 40'000'000'000, 40'000'000'000},
      {"25", 1e300, limit, limit},
      {"25", -1e300, -limit, -limit},
      // The traditional table at each change of step.
      {"trad", 0, 0, 0},
      {"trad", 0.1, 1, 2},
      {"trad", 0.25, 4, 4},
      {"trad", 0.3, 4, 5},
      {"trad", 1, 10, 10},
      {"trad", 4.99, 25, 26},
      {"trad", 5, 26, 26},
      {"trad", 5 * (1 + inTolerance), 26, 26},
      {"trad", 5.25, 26, 27},
      {"trad", 20, 56, 56},
      {"trad", 100, 136, 136},
      {"trad", 200, 186, 186},
      {"trad", 500, 261, 261},
      {"trad", 1000, 361, 361},
      {"trad", 24999, 840, 841},
      {"trad", 25000, 841, 841},
      {"trad", 25000 * (1 - inTolerance), 841, 841},
      {"trad", 25010, 841, 842},
      {"trad", 1e9, 2'000'791, 2'000'791},
      {"trad", -0.1, -2, -1},
      {"trad", 1e300, limit, limit},
  };
  for (const LevelCase& c : cases) {
    SCOPED_TRACE(std::string(c.grid) + " at " + std::to_string(c.price));
    const PriceGrid grid = gridNamed(c.grid);
    EXPECT_EQ(grid.up(c.price), c.up);
    EXPECT_EQ(grid.down(c.price), c.down);
  }
  const PriceGrid trad = PriceGrid::traditional();
  EXPECT_EQ(trad.level(4), 0.25);
  EXPECT_EQ(trad.level(26), 5);
  EXPECT_EQ(trad.level(27), 5.5);
  EXPECT_EQ(trad.level(841), 25000);
  EXPECT_EQ(trad.level(842), 25500);
  EXPECT_EQ(trad.level(-2), -0.125);
  EXPECT_DOUBLE_EQ(PriceGrid::percent(1).level(-1), 1 / 1.01);
  EXPECT_DOUBLE_EQ(PriceGrid::fixed(0.001).level(-3), -0.003);
}

// Every level is on itself, also a little off it within the tolerance, and
// off it beyond; the middle of two levels lies between them. Over a wide run
// of levels of every kind.
TEST(PriceGrid, EveryLevelIsOnItselfAndMidpointsFallBetween) {
  const PriceGrid grids[] = {PriceGrid::percent(1), PriceGrid::percent(0.05),
                             PriceGrid::fixed(0.0001), PriceGrid::fixed(25),
                             PriceGrid::traditional()};
  for (const PriceGrid& grid : grids) {
    const int64_t first = grid.kind() == PriceGrid::Kind::percent ? -3000 : -20;
    for (int64_t k = first; k < 3000; ++k) {
      SCOPED_TRACE(std::to_string(grid.step()) + " level " + std::to_string(k));
      const double at = grid.level(k), size = std::fabs(at);
      const double middle = (at + grid.level(k + 1)) / 2;
      ASSERT_EQ(grid.up(at), k);
      ASSERT_EQ(grid.down(at), k);
      ASSERT_EQ(grid.up(at - 0.5e-9 * size), k);
      ASSERT_EQ(grid.down(at + 0.5e-9 * size), k);
      ASSERT_EQ(grid.up(middle), k);
      ASSERT_EQ(grid.down(middle), k + 1);
      if (k == 0 && grid.kind() != PriceGrid::Kind::percent) continue;
      ASSERT_EQ(grid.up(at - 3e-9 * size), k - 1);
      ASSERT_EQ(grid.down(at + 3e-9 * size), k + 1);
    }
  }
}

TEST(PriceGrid, CountsTheLevelsBetweenTwoPricesWithoutVisitingThem) {
  constexpr int64_t unbounded = PriceGrid::kUnboundedLevels;
  const struct {
    PriceGrid grid;
    double low, high;
    int64_t count;
  } cases[] = {
      {PriceGrid::fixed(0.001), 1.0, 1.1, 101},
      {PriceGrid::fixed(0.001), 1.0005, 1.0009, 0},
      {PriceGrid::fixed(0.001), 2, 1, 0},
      {PriceGrid::traditional(), 0, 1, 11},
      {PriceGrid::percent(1), 1, std::pow(1.01, 10), 11},
      {PriceGrid::fixed(1e-12), 1, 2, 1'000'000'000'001},
      {PriceGrid::percent(1), 0, 2, unbounded},
      {PriceGrid::percent(1), 1, INFINITY, unbounded},
      {PriceGrid::fixed(1e-300), 1, 1, unbounded},
      {PriceGrid::percent(1e-300), 1, 1, unbounded},  // every level the same price
      {PriceGrid::traditional(), 1, 1e300, unbounded},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.grid.step()) + " " + std::to_string(c.low) + ".." +
                 std::to_string(c.high));
    EXPECT_EQ(c.grid.levelCount(c.low, c.high), c.count);
  }
}

TEST(PriceGrid, AtrBoxIsTheMeanTrueRangeOfTheLastBars) {
  // True ranges: 2 (high - low of the first bar), 3 (a gap up from the
  // close 11: 14 - 11), 4.5 (the close 13.5 above the high: 13.5 - 9), 1.
  const std::vector<GridBar> bars{{12, 10, 11}, {14, 13, 13.5}, {12, 9, 10}, {10.5, 9.5, 10}};
  EXPECT_DOUBLE_EQ(averageTrueRange(bars, 1), 1);
  EXPECT_DOUBLE_EQ(averageTrueRange(bars, 2), (4.5 + 1) / 2);
  EXPECT_DOUBLE_EQ(averageTrueRange(bars, 4), (2 + 3 + 4.5 + 1) / 4);
  EXPECT_DOUBLE_EQ(averageTrueRange(bars, 1000), (2 + 3 + 4.5 + 1) / 4);
  EXPECT_EQ(averageTrueRange({}, 14), 0);

  std::string reason;
  const GridScale atr2{Kind::atr, 0, 2};
  const std::optional<PriceGrid> grid = gridForScale(atr2, bars, reason);
  ASSERT_TRUE(grid);
  EXPECT_EQ(grid->kind(), PriceGrid::Kind::fixed);
  EXPECT_DOUBLE_EQ(grid->step(), 2.75);
  const std::vector<GridBar> flat{{5, 5, 5}, {5, 5, 5}};
  EXPECT_FALSE(gridForScale(atr2, flat, reason));
  EXPECT_EQ(reason, "\"atr2\": the mean true range of the last bars is not above 0");
  EXPECT_FALSE(gridForScale(atr2, {}, reason));
  EXPECT_EQ(reason, "\"atr2\": no bars to take the mean true range of");
}

TEST(GridOracle, GivesTheHandWorkedColumns) {
  for (const testing_util::GridPath& path : testing_util::gridPaths()) {
    SCOPED_TRACE(path.name);
    EXPECT_EQ(
        grid_oracle::columns(path.bars, testing_util::gridOfPath(path), path.reversal, path.method),
        path.expected);
  }
}

// Bars as the intake gives them: one point per bar, its close, with the
// bar's low and high beside it.
class BarPath final : public PricePath {
 public:
  std::vector<GridBar> bars;
  size_t size() const override { return bars.size(); }
  PricePoint at(size_t i) const override {
    return PricePoint(static_cast<int32_t>(i), "2024/03/05 09:00", 202403050900, 4, bars[i].close,
                      static_cast<int32_t>(i));
  }
  double priceAt(size_t i) const override { return bars[i].close; }
  BarRange barRange(size_t i) const override { return BarRange{bars[i].low, bars[i].high}; }
};

// The chart's decided columns in the oracle's terms.
std::vector<grid_oracle::Column> chartColumns(const PfChart& chart) {
  std::vector<grid_oracle::Column> columns;
  for (const PfColumn& column : chart.columns()) {
    if (column.direction == 0) continue;
    grid_oracle::Column c;
    c.type = column.direction > 0 ? 'X' : 'O';
    c.top = std::max(column.startLevel, column.endLevel);
    c.bottom = std::min(column.startLevel, column.endLevel);
    c.startBar = static_cast<size_t>(column.startPoint.index);
    c.lastBar = static_cast<size_t>(column.endPoint.index);
    columns.push_back(c);
  }
  // The first column starts where the chart starts; the bar that decided
  // it is the first whose snapshot shows it decided.
  if (!columns.empty()) {
    const ColumnList snapshots = chart.snapshots();
    for (size_t k = 0; k < snapshots.size(); ++k) {
      if (snapshots[k].direction != 0) {
        columns.front().startBar = k;
        break;
      }
    }
  }
  return columns;
}

void setGrid(ChartSettings& settings, std::string_view scale, int reversal,
             grid_oracle::Method method) {
  std::string reason;
  settings.grid = parseGridScale(scale, reason);
  settings.reversal = reversal;
  settings.dataExpand = method == grid_oracle::Method::highLow;
}

TEST(GridChart, BuildsTheHandWorkedColumns) {
  for (const testing_util::GridPath& path : testing_util::gridPaths()) {
    SCOPED_TRACE(path.name);
    ChartSettings settings;
    setGrid(settings, path.scale, path.reversal, path.method);
    BarPath bars;
    bars.bars = path.bars;
    PfChart chart;
    chart.applySettings(settings, 5);
    chart.update(PointSpan::tail(bars, 0), settings);
    EXPECT_EQ(chartColumns(chart), path.expected);
    EXPECT_EQ(chart.snapshots().size(), path.bars.size());
  }
}

// Random walks on every kind of scale, both methods and several reversals,
// built whole and built in two batches that re-read the newest bar, as the
// intake's refresh does: the chart gives what the literal reading gives.
TEST(GridChart, AgreesWithTheLiteralReadingOnRandomWalks) {
  std::mt19937 random(20261209);
  std::normal_distribution<double> step(0, 0.012);
  std::uniform_real_distribution<double> reach(0, 0.01);
  for (const std::string_view scale : {"1%", "0.25%", "0.5", "trad", "atr14"}) {
    for (const auto method : {grid_oracle::Method::closes, grid_oracle::Method::highLow}) {
      for (const int reversal : {1, 2, 3, 5}) {
        BarPath whole;
        double close = 40 + 30 * reach(random) * 100;
        for (int i = 0; i < 600; ++i) {
          const double open = close;
          close = std::max(0.5, close * (1 + step(random)));
          whole.bars.push_back(GridBar{std::max(open, close) * (1 + reach(random)),
                                       std::min(open, close) * (1 - reach(random)), close});
        }
        const std::string where = std::string(scale) + " R " + std::to_string(reversal) +
                                  (method == grid_oracle::Method::highLow ? " high/low" : "");
        ChartSettings settings;
        setGrid(settings, scale, reversal, method);
        PfChart chart;
        chart.applySettings(settings, 5);
        chart.update(PointSpan::tail(whole, 0), settings);
        ASSERT_TRUE(chart.grid()) << where;
        const auto expected = grid_oracle::columns(whole.bars, *chart.grid(), reversal, method);
        EXPECT_EQ(chartColumns(chart), expected) << where;

        BarPath growing;
        growing.bars.assign(whole.bars.begin(), whole.bars.begin() + 300);
        growing.bars.back().close *= 1.03;  // the forming bar, read again later
        PfChart twice;
        twice.applySettings(settings, 5);
        twice.update(PointSpan::tail(growing, 0), settings);
        growing.bars = whole.bars;
        twice.update(PointSpan::tail(growing, 299), settings);
        // An ATR box stays the one of the points first built from.
        ASSERT_TRUE(twice.grid()) << where;
        EXPECT_EQ(chartColumns(twice),
                  grid_oracle::columns(whole.bars, *twice.grid(), reversal, method))
            << where << " in two batches";
      }
    }
  }
}

TEST(GridChart, SaysWhyItCannotBeBuilt) {
  BarPath flat;
  flat.bars = testing_util::closeBars({10, 10, 10});
  ChartSettings atr;
  setGrid(atr, "atr5", 3, grid_oracle::Method::closes);
  PfChart noBox;
  noBox.applySettings(atr, 2);
  noBox.update(PointSpan::tail(flat, 0), atr);
  EXPECT_NE(noBox.problem().find("atr5"), std::string::npos) << noBox.problem();
  EXPECT_TRUE(noBox.columns().empty());

  BarPath wide;
  wide.bars = testing_util::closeBars({1, 2000});
  ChartSettings fine;
  setGrid(fine, "0.0001", 3, grid_oracle::Method::closes);
  PfChart tooMany;
  tooMany.applySettings(fine, 2);
  tooMany.update(PointSpan::tail(wide, 0), fine);
  EXPECT_NE(tooMany.problem().find("10000000 LEVELS"), std::string::npos) << tooMany.problem();
  EXPECT_TRUE(tooMany.snapshots().empty());
  EXPECT_EQ(-1, fine.viewOffsetLimit());
}

}  // namespace
}  // namespace tavelund
