// Column building and the update's trim, against the worked examples.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <span>

#include "chart_test_util.h"
#include "engine/pf_chart.h"

namespace tavelund {
namespace {

using testing_util::path;
using testing_util::point;

PfChart chartWith(int32_t reversal, int32_t digits = 2) {
  PfChart chart;
  ChartSettings settings;
  settings.reversal = reversal;
  chart.applySettings(settings, digits);
  return chart;
}

void applyPoints(PfChart& chart, const std::vector<PricePoint>& batch) {
  ChartSettings settings;
  chart.update(batch, settings);
}

TEST(Columns, FirstPointOpensAnUndecidedColumn) {
  PfChart chart = chartWith(3);
  applyPoints(chart, path({100.0}));
  ASSERT_EQ(1u, chart.columns().size());
  ASSERT_EQ(1u, chart.snapshots().size());
  const PfColumn& first = chart.columns()[0];
  EXPECT_EQ(-1, first.number);
  EXPECT_EQ(0, first.direction);
  EXPECT_TRUE(first.boxes.empty());
  EXPECT_EQ("1.00", first.percentText);
  EXPECT_EQ(100.0, first.extremePrice);
  EXPECT_EQ(0.0, first.reversalPrice);
  EXPECT_EQ(100.0 * 0.01, first.boxSize);
  EXPECT_EQ(100.0, first.basePrice);
  EXPECT_EQ(100.0, first.endBoxPrice);
  EXPECT_EQ(0, first.startPoint.index);
  EXPECT_EQ(0, first.endPoint.index);
  EXPECT_EQ(0, first.lastPoint.index);
  EXPECT_EQ("2024/03/05 09:0", first.lastPoint.text);
}

TEST(Columns, DecisionNeedsMoreThanReversalBoxes) {
  PfChart chart = chartWith(3);
  applyPoints(chart, path({100.00, 103.00}));
  EXPECT_EQ(0, chart.columns().back().direction);  // 103.00 is not beyond 100 + 3 x 1
  EXPECT_EQ(2u, chart.snapshots().size());
  applyPoints(chart, path({103.01}, 2));
  const PfColumn& x = chart.columns().back();
  EXPECT_EQ(1u, chart.columns().size());
  EXPECT_EQ(1, x.direction);
  EXPECT_EQ("XXX", x.boxes);
  EXPECT_EQ(103.01, x.extremePrice);
  EXPECT_EQ(103.01 - (103.01 * 0.01) * 3.0, x.reversalPrice);
  EXPECT_EQ(100.0 + 3 * x.boxSize, x.endBoxPrice);
  EXPECT_EQ(2, x.endPoint.index);
  EXPECT_EQ(0, x.startPoint.index);

  PfChart down = chartWith(3);
  applyPoints(down, path({100.00, 97.00, 96.99}));
  EXPECT_EQ(-1, down.columns().back().direction);
  EXPECT_EQ("OOO", down.columns().back().boxes);
  EXPECT_EQ((96.99 * 0.01) * 3.0 + 96.99, down.columns().back().reversalPrice);
}

TEST(Columns, ReversalDownFromAnExtremeOf110) {
  PfChart chart = chartWith(3);
  applyPoints(chart, path({100.0, 110.0}));
  ASSERT_EQ(1, chart.columns().back().direction);
  EXPECT_NEAR(106.70, chart.columns().back().reversalPrice, 1e-9);
  applyPoints(chart, path({106.0}, 2));
  ASSERT_EQ(2u, chart.columns().size());
  const PfColumn& o = chart.columns().back();
  EXPECT_EQ(0, o.number);
  EXPECT_EQ(-1, o.direction);
  EXPECT_NEAR(1.10, o.boxSize, 1e-12);
  EXPECT_EQ(110.0, o.basePrice);
  EXPECT_EQ("OOO", o.boxes);  // 3.64 boxes, truncated
  EXPECT_NEAR(106.70, o.endBoxPrice, 1e-9);
  EXPECT_EQ(106.0, o.extremePrice);
  EXPECT_NEAR(109.18, o.reversalPrice, 1e-9);
  // It starts where the X column peaked, numbered as the point that reversed.
  EXPECT_EQ(110.0, o.startPoint.price);
  EXPECT_EQ(chart.columns()[0].endPoint.text, o.startPoint.text);
  EXPECT_EQ(2, o.startPoint.index);
  EXPECT_EQ(2, o.startPoint.recordIndex);
  EXPECT_EQ(2, o.endPoint.index);
  // The reversal's snapshot holds the old column, with the new last point.
  const PfColumn& snapshot = chart.snapshots().back();
  EXPECT_EQ(1, snapshot.direction);
  EXPECT_EQ(1, snapshot.endPoint.index);
  EXPECT_EQ(2, snapshot.lastPoint.index);
}

TEST(Columns, EqualityAtTheReversalPriceReversesAtTheExtremeDoesNothing) {
  PfChart chart = chartWith(3);
  applyPoints(chart, path({100.0, 110.0}));
  const double extreme = chart.columns().back().extremePrice;
  const double threshold = chart.columns().back().reversalPrice;
  applyPoints(chart, path({extreme}, 2));
  EXPECT_EQ(1u, chart.columns().size());
  EXPECT_EQ(extreme, chart.columns().back().extremePrice);
  EXPECT_EQ(1, chart.columns().back().endPoint.index);  // the column is unchanged
  EXPECT_EQ(3u, chart.snapshots().size());
  EXPECT_EQ(2, chart.snapshots().back().endPoint.index);  // the snapshot is the point's
  EXPECT_EQ(2, chart.snapshots().back().lastPoint.index);
  applyPoints(chart, path({threshold}, 3));
  EXPECT_EQ(2u, chart.columns().size());
}

// At the threshold for every allowed reversal, rising and falling.
TEST(Columns, ReversalsThreeFourFiveAtTheirThresholds) {
  for (int32_t reversal : {3, 4, 5}) {
    SCOPED_TRACE(reversal);
    PfChart up = chartWith(reversal);
    applyPoints(up, path({100.0, 120.0}));
    const double threshold = up.columns().back().reversalPrice;
    applyPoints(up, path({std::nextafter(threshold, 1e9)}, 2));
    EXPECT_EQ(1u, up.columns().size());
    applyPoints(up, path({threshold}, 3));
    ASSERT_EQ(2u, up.columns().size());
    const PfColumn& o = up.columns().back();
    EXPECT_EQ(-1, o.direction);
    const int32_t boxes = o.boxes.size();
    EXPECT_TRUE(boxes == reversal || boxes == reversal - 1) << boxes;
    EXPECT_EQ(static_cast<int32_t>((120.0 - threshold) / (120.0 * 0.01)), boxes);

    PfChart down = chartWith(reversal);
    applyPoints(down, path({100.0, 80.0}));
    ASSERT_EQ(-1, down.columns().back().direction);
    const double upThreshold = down.columns().back().reversalPrice;
    EXPECT_EQ((80.0 * 0.01) * reversal + 80.0, upThreshold);
    applyPoints(down, path({std::nextafter(upThreshold, 0.0)}, 2));
    EXPECT_EQ(1u, down.columns().size());
    applyPoints(down, path({upThreshold}, 3));
    ASSERT_EQ(2u, down.columns().size());
    const PfColumn& x = down.columns().back();
    EXPECT_EQ(1, x.direction);
    EXPECT_TRUE(x.boxes.size() == reversal || x.boxes.size() == reversal - 1);
    EXPECT_EQ(80.0 * 0.01, x.boxSize);
    EXPECT_EQ(80.0, x.basePrice);
  }
}

TEST(Columns, NewExtremesRecountBoxesFromTheBaseWithTheColumnsBoxSize) {
  PfChart chart = chartWith(3);
  applyPoints(chart, path({100.0, 104.5, 107.9}));
  const PfColumn& x = chart.columns().back();
  EXPECT_EQ("XXXXXXX", x.boxes);  // (107.9 - 100) / 1.00 = 7.9
  EXPECT_EQ(107.9 - (107.9 * 0.01) * 3.0, x.reversalPrice);
  EXPECT_EQ(100.0 * 0.01, x.boxSize);
  EXPECT_EQ(3u, chart.snapshots().size());
  EXPECT_EQ(2, chart.snapshots().back().endPoint.index);
}

TEST(Columns, ChangedSettingsApplyToColumnsCreatedAfterwards) {
  PfChart chart = chartWith(3, 2);
  applyPoints(chart, path({100.0, 110.0}));
  ChartSettings settings;
  settings.reversal = 5;
  chart.applySettings(settings, 4);
  applyPoints(chart, path({104.4}, 2));  // 5 boxes of 1.1 below 110 is 104.5
  ASSERT_EQ(2u, chart.columns().size());
  EXPECT_EQ("1.00", chart.columns()[0].percentText);
  EXPECT_EQ("1.0000", chart.columns()[1].percentText);
  EXPECT_EQ((104.4 * 0.01) * 5.0 + 104.4, chart.columns()[1].reversalPrice);
}

TEST(Columns, EveryPointAddsExactlyOneSnapshotEvenForNonPositivePrices) {
  PfChart chart = chartWith(3);
  const std::vector<PricePoint> points =
      path({-5.0, -10.0, -20.0, -1.0, -30.0, 0.0, 5.0, -5.0, 0.0, 0.0, 10.0, 1e30, -1e30});
  applyPoints(chart, points);
  EXPECT_EQ(points.size(), chart.snapshots().size());
  for (size_t i = 0; i < chart.columns().size(); ++i) {
    const PfColumn& column = chart.columns()[i];
    EXPECT_EQ(static_cast<int32_t>(i) - 1, column.number);
    if (i > 0) {
      EXPECT_EQ(-chart.columns()[i - 1].direction, column.direction);
    }
    EXPECT_GE(column.boxes.size(), 0);
  }
}

TEST(Columns, UpdateSetsTheOffsetLimitAndPullsTheOffsetBack) {
  PfChart chart = chartWith(3);
  ChartSettings settings;
  settings.moveView(50);
  chart.update(path({100, 101, 102, 103, 104}), settings);
  EXPECT_EQ(4, settings.viewOffsetLimit());
  EXPECT_EQ(4, settings.viewOffset());
  settings.moveView(2);
  chart.update(PointSpan(), settings);
  EXPECT_EQ(2, settings.viewOffset());
  PfChart empty;
  ChartSettings none;
  empty.update(PointSpan(), none);
  EXPECT_EQ(-1, none.viewOffsetLimit());
  EXPECT_EQ(-1, none.viewOffset());
}

// The update takes back the points of re-read records, the columns and
// snapshots that ended on them, and applies the batch.
TEST(Trim, ReReadRecordsAreTakenBackAndRebuilt) {
  PfChart chart = chartWith(3);
  // Record 2 reversed the X column into an O column, record 3 extended it.
  applyPoints(chart, path({100.0, 110.0, 106.0, 104.0}));
  ASSERT_EQ(2u, chart.columns().size());
  ASSERT_EQ(4u, chart.snapshots().size());
  // Records 2 and 3 are re-read: the price went up instead.
  applyPoints(chart, {point(2, 111.0), point(3, 112.0)});
  EXPECT_EQ(4u, chart.points().size());
  EXPECT_EQ(112.0, chart.points()[3].price);
  ASSERT_EQ(1u, chart.columns().size());
  EXPECT_EQ(112.0, chart.columns()[0].extremePrice);
  EXPECT_EQ("XXXXXXXXXXXX", chart.columns()[0].boxes);
  EXPECT_EQ(3, chart.columns()[0].endPoint.index);
  // One snapshot per point, exactly as if the records had been read so.
  ASSERT_EQ(4u, chart.snapshots().size());
  EXPECT_EQ(1, chart.snapshots()[1].endPoint.index);
  EXPECT_EQ(2, chart.snapshots()[2].endPoint.index);
  EXPECT_EQ(111.0, chart.snapshots()[2].extremePrice);
  EXPECT_EQ(3, chart.snapshots()[3].endPoint.index);
}

// A column that earlier records built and the newest record extended must
// survive when the newest record is re-read lower.
TEST(Trim, ReReadRecordKeepsTheColumnThatEarlierRecordsBuilt) {
  PfChart chart = chartWith(3);
  // X to 110, O to 106, X from 106 at 109.5 (record 3), extended to 112 (record 4).
  applyPoints(chart, path({100.0, 110.0, 106.0, 109.5, 112.0}));
  ASSERT_EQ(3u, chart.columns().size());
  applyPoints(chart, {point(4, 109.0)});  // the newest bar fell back
  PfChart fresh = chartWith(3);
  applyPoints(fresh, path({100.0, 110.0, 106.0, 109.5, 109.0}));
  ASSERT_EQ(3u, chart.columns().size());
  ASSERT_EQ(fresh.columns().size(), chart.columns().size());
  for (size_t i = 0; i < chart.columns().size(); ++i) {
    EXPECT_EQ(fresh.columns()[i].boxes, chart.columns()[i].boxes);
    EXPECT_EQ(fresh.columns()[i].extremePrice, chart.columns()[i].extremePrice);
    EXPECT_EQ(fresh.columns()[i].endPoint.index, chart.columns()[i].endPoint.index);
    EXPECT_EQ(fresh.columns()[i].lastPoint.index, chart.columns()[i].lastPoint.index);
  }
  EXPECT_EQ(109.5, chart.columns().back().extremePrice);
  EXPECT_EQ(5u, chart.snapshots().size());
  EXPECT_EQ(109.0, chart.snapshots().back().endPoint.price);
}

// Re-reading an older record than the newest takes back everything after it.
TEST(Trim, ReReadOfAnOlderRecordRebuildsFromThePointsBeforeIt) {
  PfChart chart = chartWith(3);
  applyPoints(chart, path({100.0, 110.0, 106.0, 109.5, 112.0}));
  applyPoints(chart, path({111.0, 104.0}, 2));
  PfChart fresh = chartWith(3);
  applyPoints(fresh, path({100.0, 110.0, 111.0, 104.0}));
  ASSERT_EQ(fresh.columns().size(), chart.columns().size());
  EXPECT_EQ(fresh.columns().back().boxes, chart.columns().back().boxes);
  EXPECT_EQ(4u, chart.points().size());
  EXPECT_EQ(4u, chart.snapshots().size());
}

TEST(Trim, RemovingEveryColumnRebuildsFromTheRemainingPoints) {
  PfChart chart = chartWith(3);
  // Record 0 opens the chart; record 1 decides it, so the only column ends on
  // record 1 while record 0's point stays.
  applyPoints(chart, {point(0, 100.0), point(1, 105.0)});
  ASSERT_EQ(1u, chart.columns().size());
  applyPoints(chart, {point(1, 96.0)});
  PfChart fresh = chartWith(3);
  applyPoints(fresh, {point(0, 100.0), point(1, 96.0)});
  ASSERT_EQ(fresh.columns().size(), chart.columns().size());
  EXPECT_EQ(-1, chart.columns()[0].direction);
  EXPECT_EQ("OOOO", chart.columns()[0].boxes);
  EXPECT_EQ(2u, chart.points().size());
  EXPECT_EQ(2u, chart.snapshots().size());
  EXPECT_EQ(0, chart.snapshots()[0].endPoint.index);
  EXPECT_EQ(1, chart.snapshots()[1].endPoint.index);
}

// Re-reading the newest record at every step, as the refresh does, must end
// in the same columns as applying the final path at once.
TEST(Trim, IncrementalUpdatesMatchABuildFromScratch) {
  std::mt19937 random(99);
  std::normal_distribution<double> step(0.0, 0.6);
  PfChart incremental = chartWith(3);
  std::vector<PricePoint> final;
  double price = 100;
  for (int32_t record = 0; record < 3000; ++record) {
    // The newest record moves a few times before the next one starts.
    for (int moves = 0; moves < 3; ++moves) {
      price += step(random);
      std::vector<PricePoint> batch;
      for (int kind = 0; kind < 3; ++kind)
        batch.push_back(
            point(static_cast<int32_t>(final.size()) + kind, price + kind * 0.2, record));
      applyPoints(incremental, batch);
      if (moves == 2) final.insert(final.end(), batch.begin(), batch.end());
    }
  }
  PfChart scratch = chartWith(3);
  applyPoints(scratch, final);
  ASSERT_EQ(scratch.points().size(), incremental.points().size());
  ASSERT_EQ(scratch.columns().size(), incremental.columns().size());
  for (size_t i = 0; i < scratch.columns().size(); ++i) {
    const PfColumn& a = scratch.columns()[i];
    const PfColumn& b = incremental.columns()[i];
    ASSERT_EQ(a.boxes, b.boxes) << i;
    ASSERT_EQ(a.extremePrice, b.extremePrice) << i;
    ASSERT_EQ(a.endPoint.index, b.endPoint.index) << i;
    ASSERT_EQ(a.startPoint.index, b.startPoint.index) << i;
  }
  ASSERT_EQ(scratch.snapshots().size(), incremental.snapshots().size());
  for (size_t i = 0; i < scratch.snapshots().size(); ++i) {
    ASSERT_EQ(scratch.snapshots()[i].boxes, incremental.snapshots()[i].boxes) << i;
    ASSERT_EQ(scratch.snapshots()[i].number, incremental.snapshots()[i].number) << i;
    ASSERT_EQ(scratch.snapshots()[i].endPoint.index, incremental.snapshots()[i].endPoint.index)
        << i;
  }
}

// A chart that reads its points from a path gives what a chart with its own
// copies gives, also when a batch comes from elsewhere after all.
TEST(Snapshots, ReadingAPathOrOwnCopiesGivesTheSameChart) {
  std::vector<PricePoint> list;
  CopiedPoints path;
  PfChart reading = chartWith(3), copying = chartWith(3);
  ChartSettings settings;
  double price = 100;
  for (int32_t record = 0; record < 400; ++record) {
    // The newest record is rewritten once before the next one starts.
    for (int pass = 0; pass < 2; ++pass) {
      while (!list.empty() && list.back().recordIndex == record) list.pop_back();
      const size_t first = list.size();
      for (int32_t kind = 1; kind <= 3; ++kind)
        list.push_back(point(static_cast<int32_t>(list.size()),
                             price + std::sin(record * 0.3 + kind + pass) * 4, record));
      const std::span<const PricePoint> batch(list.data() + first, list.size() - first);
      path.shrinkTo(first);
      for (const PricePoint& point : batch) path.append(point);
      reading.update(PointSpan::tail(path, first), settings);
      copying.update(std::vector<PricePoint>(batch.begin(), batch.end()), settings);
    }
    price += 0.05;
  }
  // A batch that is not the list's tail: the chart goes on with copies.
  const std::vector<PricePoint> elsewhere = {point(static_cast<int32_t>(list.size()), 150, 400)};
  reading.update(elsewhere, settings);
  copying.update(elsewhere, settings);
  path.shrinkTo(0);  // no longer read
  ASSERT_EQ(copying.points().size(), reading.points().size());
  ASSERT_EQ(copying.snapshots().size(), reading.snapshots().size());
  for (size_t k = 0; k < copying.snapshots().size(); ++k) {
    const PfColumn a = copying.snapshots()[k], b = reading.snapshots()[k];
    ASSERT_TRUE(a.boxes == b.boxes && a.extremePrice == b.extremePrice &&
                a.endPoint.index == b.endPoint.index && a.endPoint.text == b.endPoint.text &&
                a.startPoint.index == b.startPoint.index)
        << k;
  }
  ASSERT_EQ(copying.columns().size(), reading.columns().size());
  EXPECT_EQ(copying.columns().back().endBoxPrice, reading.columns().back().endBoxPrice);
}

// A chart that has applied copies and then gets a batch of a path that
// holds those points and more goes on from the path: every point before the
// batch is applied too, none is skipped or applied twice.
TEST(Snapshots, ReadingAPathAfterCopiesAppliesEveryPointOfThePath) {
  std::vector<PricePoint> all;
  CopiedPoints path;
  for (int32_t i = 0; i < 300; ++i) {
    all.push_back(point(i, 100 + std::sin(i * 0.2) * 6, i));
    path.append(all.back());
  }
  PfChart scratch = chartWith(3), switched = chartWith(3);
  applyPoints(scratch, all);
  applyPoints(switched, std::vector<PricePoint>(all.begin(), all.begin() + 200));
  ChartSettings settings;
  switched.update(PointSpan(path, 250, 50), settings);
  ASSERT_EQ(scratch.points().size(), switched.points().size());
  ASSERT_EQ(scratch.snapshots().size(), switched.snapshots().size());
  for (size_t k = 0; k < scratch.snapshots().size(); ++k) {
    const PfColumn a = scratch.snapshots()[k], b = switched.snapshots()[k];
    ASSERT_TRUE(a.boxes == b.boxes && a.extremePrice == b.extremePrice &&
                a.endPoint.index == b.endPoint.index)
        << k;
  }
  EXPECT_EQ(scratch.columns().size(), switched.columns().size());
}

TEST(Snapshots, StayCompact) {
  // One snapshot per point is kept for the whole run: at most 32 bytes each
  // on average, even when every point is a new extreme.
  PfChart rising = chartWith(3);
  std::vector<PricePoint> prices;
  for (int32_t i = 0; i < 5000; ++i) prices.push_back(point(i, 100.0 + i * 0.25));
  applyPoints(rising, prices);
  ASSERT_EQ(5000u, rising.snapshots().size());
  EXPECT_LE(rising.snapshotBytes(), 32u * 5000);

  std::mt19937 random(5);
  std::normal_distribution<double> step(0.0, 0.05);
  PfChart walk = chartWith(3);
  prices.clear();
  double price = 100;
  for (int32_t i = 0; i < 50000; ++i) prices.push_back(point(i, price += step(random)));
  applyPoints(walk, prices);
  EXPECT_LE(walk.snapshotBytes(), 12u * 50000);
  EXPECT_LE(sizeof(PricePoint), 48u);

  PfColumn column;
  column.boxes.append(100000, 'X');
  EXPECT_EQ(100000, column.boxes.size());
  EXPECT_EQ(std::string(100000, 'X'), column.boxes.text());
  EXPECT_FALSE(column.boxes == std::string(99999, 'X') + "O");
}

}  // namespace
}  // namespace tavelund

namespace tavelund {
namespace {

TEST(Snapshots, KeepTheirOwnTextsAndReadBackEveryField) {
  PfChart chart = chartWith(3);
  std::string text = "2024/03/05 10:00";
  std::vector<PricePoint> batch = {PricePoint{7, text, 202403051000, 1, 100.0, 4},
                                   PricePoint{8, text, 202403051000, 4, 104.0, 4}};
  ChartSettings settings;
  chart.update(batch, settings);
  text.assign(text.size(), '#');  // the caller's text is gone
  batch.clear();
  const std::vector<double> prices = {100.0, 99.0};
  for (size_t i = 0; i < prices.size(); ++i) {
    const std::string minute = "2024/03/05 10:0" + std::to_string(i + 1);
    PricePoint next{
        9 + static_cast<int32_t>(i), minute, 202403051001 + static_cast<int64_t>(i), 4, prices[i],
        5 + static_cast<int32_t>(i)};
    chart.update(std::vector<PricePoint>{next}, settings);
  }
  ASSERT_EQ(4u, chart.snapshots().size());
  const PfColumn up = chart.snapshots()[1];
  EXPECT_EQ(1, up.direction);
  EXPECT_EQ("XXXX", up.boxes.text());
  EXPECT_EQ("2024/03/05 10:00", up.startPoint.text);
  EXPECT_EQ(1, up.startPoint.kind);
  EXPECT_EQ(7, up.startPoint.index);
  EXPECT_EQ(4, up.endPoint.kind);
  EXPECT_EQ(8, up.endPoint.index);
  EXPECT_EQ("1.00", up.percentText);
  // The reversal to O: its start point is the X column's end point (text,
  // kind, minute and price) seen from the reversing point (index, record).
  const PfColumn o = chart.columns().back();
  EXPECT_EQ(-1, o.direction);
  EXPECT_EQ("2024/03/05 10:00", o.startPoint.text);
  EXPECT_EQ(202403051000, o.startPoint.minuteKey);
  EXPECT_EQ(104.0, o.startPoint.price);
  EXPECT_EQ(4, o.startPoint.kind);
  EXPECT_EQ(9, o.startPoint.index);
  EXPECT_EQ(5, o.startPoint.recordIndex);
  EXPECT_EQ("2024/03/05 10:02", o.endPoint.text);
  EXPECT_EQ("2024/03/05 10:02", chart.lastLineColumn(0).lastPoint.text);
  size_t count = 0;
  for (const PfColumn& column : chart.snapshots()) count += column.number >= -1;
  EXPECT_EQ(4u, count);
}

}  // namespace
}  // namespace tavelund
