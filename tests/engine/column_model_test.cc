// The chart against a slow model of the column algorithm written the plain
// way: full column values with their box texts, the four tests in order,
// one snapshot per point. Random price paths that also land exactly on the
// decision and reversal thresholds and on the extremes, both directions,
// reversal 3 to 5, records re-read as the refresh does.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "common/number_text.h"
#include "engine/pf_chart.h"

namespace tavelund {
namespace {

struct ModelColumn {
  int32_t number = -1;
  std::string boxes;
  std::string percentText;
  ColumnPoint startPoint, endPoint;
  int32_t direction = 0;
  double extremePrice = 0, reversalPrice = 0, boxSize = 0, basePrice = 0, endBoxPrice = 0;
  ColumnPoint lastPoint;
};

struct Model {
  int32_t reversal = 3;
  double f = 0.01;
  int32_t digits = 2;
  std::vector<PricePoint> points;
  std::vector<ModelColumn> columns, snapshots;

  static int32_t truncated(double quotient) { return static_cast<int32_t>(quotient); }
  static void append(std::string& boxes, int32_t n, char letter) {
    if (n > 0) boxes.append(static_cast<size_t>(n), letter);
  }

  ModelColumn opened(const ModelColumn& a, const PricePoint& P, int32_t direction) const {
    const double p = P.price, R = reversal;
    ModelColumn d;
    d.number = a.number + 1;
    d.percentText = fixedText(f * 100, digits);
    d.boxSize = a.extremePrice * f;
    d.basePrice = a.extremePrice;
    const int32_t n = truncated(direction < 0 ? (a.extremePrice - p) / d.boxSize
                                              : (p - a.extremePrice) / d.boxSize);
    append(d.boxes, n, direction < 0 ? 'O' : 'X');
    d.startPoint = a.endPoint;
    d.startPoint.index = P.index;
    d.startPoint.recordIndex = P.recordIndex;
    d.endPoint = ColumnPoint(P);
    d.direction = direction;
    d.extremePrice = p;
    d.reversalPrice = direction < 0 ? (p * f) * R + p : p - (p * f) * R;
    d.endBoxPrice = direction < 0 ? d.basePrice - n * d.boxSize : d.basePrice + n * d.boxSize;
    d.lastPoint = ColumnPoint(P);
    return d;
  }

  void addPoint(const PricePoint& P) {
    const double p = P.price, R = reversal;
    points.push_back(P);
    if (points.size() == 1) {
      ModelColumn first;
      first.percentText = fixedText(f * 100, digits);
      first.startPoint = first.endPoint = first.lastPoint = ColumnPoint(P);
      first.extremePrice = first.basePrice = first.endBoxPrice = p;
      first.boxSize = p * f;
      columns.push_back(first);
      snapshots.push_back(first);
      return;
    }
    if (columns.back().direction == 0) {
      ModelColumn b = columns.back();
      b.lastPoint = ColumnPoint(P);
      if (p > b.extremePrice + R * b.boxSize || b.extremePrice - R * b.boxSize > p) {
        const bool up = p > b.extremePrice + R * b.boxSize;
        const int32_t n =
            truncated(up ? (p - b.basePrice) / b.boxSize : (b.basePrice - p) / b.boxSize);
        append(b.boxes, n, up ? 'X' : 'O');
        b.endPoint = ColumnPoint(P);
        b.direction = up ? 1 : -1;
        b.extremePrice = p;
        b.reversalPrice = up ? p - (p * f) * R : (p * f) * R + p;
        b.endBoxPrice = up ? b.basePrice + n * b.boxSize : b.basePrice - n * b.boxSize;
        columns.back() = b;
        snapshots.push_back(b);
        return;
      }
    } else {
      bool changed = false;
      for (int test = 1; test <= 4; ++test) {
        ModelColumn a = columns.back();
        a.lastPoint = ColumnPoint(P);
        const bool newHigh = test == 1 && a.direction == 1 && p > a.extremePrice;
        const bool newLow = test == 3 && a.direction == -1 && a.extremePrice > p;
        if (newHigh || newLow) {
          const int32_t n =
              truncated(newHigh ? (p - a.basePrice) / a.boxSize : (a.basePrice - p) / a.boxSize);
          a.boxes.clear();
          append(a.boxes, n, newHigh ? 'X' : 'O');
          a.endPoint = ColumnPoint(P);
          a.extremePrice = p;
          a.reversalPrice = newHigh ? p - (p * f) * R : (p * f) * R + p;
          a.endBoxPrice = newHigh ? a.basePrice + n * a.boxSize : a.basePrice - n * a.boxSize;
          columns.back() = a;
          snapshots.push_back(a);
          changed = true;
        } else if ((test == 2 && a.direction == 1 && a.reversalPrice >= p) ||
                   (test == 4 && a.direction == -1 && p >= a.reversalPrice)) {
          columns.push_back(opened(a, P, -a.direction));
          snapshots.push_back(a);
          changed = true;
        }
      }
      if (changed) return;
    }
    ModelColumn t = columns.back();
    t.lastPoint = t.endPoint = ColumnPoint(P);
    snapshots.push_back(t);
  }
};

void expectSamePoint(const ColumnPoint& model, const ColumnPoint& chart, const std::string& where) {
  EXPECT_EQ(model.text, chart.text) << where;
  EXPECT_EQ(model.kind, chart.kind) << where;
  EXPECT_EQ(model.minuteKey, chart.minuteKey) << where;
  EXPECT_EQ(model.price, chart.price) << where;
  EXPECT_EQ(model.index, chart.index) << where;
  EXPECT_EQ(model.recordIndex, chart.recordIndex) << where;
}

// Every field, bit for bit.
void expectSameColumn(const ModelColumn& model, const PfColumn& chart, const std::string& where) {
  EXPECT_EQ(model.number, chart.number) << where;
  EXPECT_TRUE(chart.boxes == model.boxes)
      << where << ": " << chart.boxes.text() << " vs " << model.boxes;
  EXPECT_EQ(model.percentText, chart.percentText) << where;
  expectSamePoint(model.startPoint, chart.startPoint, where + " start");
  expectSamePoint(model.endPoint, chart.endPoint, where + " end");
  EXPECT_EQ(model.direction, chart.direction) << where;
  EXPECT_EQ(model.extremePrice, chart.extremePrice) << where;
  EXPECT_EQ(model.reversalPrice, chart.reversalPrice) << where;
  EXPECT_EQ(model.boxSize, chart.boxSize) << where;
  EXPECT_EQ(model.basePrice, chart.basePrice) << where;
  EXPECT_EQ(model.endBoxPrice, chart.endBoxPrice) << where;
  expectSamePoint(model.lastPoint, chart.lastPoint, where + " last");
}

void expectSameChart(const Model& model, const PfChart& chart) {
  ASSERT_EQ(model.points.size(), chart.points().size());
  ASSERT_EQ(model.columns.size(), chart.columns().size());
  ASSERT_EQ(model.snapshots.size(), chart.snapshots().size());
  for (size_t i = 0; i < model.columns.size(); ++i) {
    expectSameColumn(model.columns[i], chart.columns()[i], "column " + std::to_string(i));
    if (::testing::Test::HasFailure()) return;
  }
  for (size_t k = 0; k < model.snapshots.size(); ++k) {
    expectSameColumn(model.snapshots[k], chart.snapshots()[k], "snapshot " + std::to_string(k));
    if (::testing::Test::HasFailure()) return;
  }
}

// A price path that keeps landing on the model's own thresholds.
class PathMaker {
 public:
  PathMaker(uint32_t seed, int32_t reversal) : random_(seed) { model_.reversal = reversal; }

  double next() {
    if (model_.columns.empty()) return price_;
    const ModelColumn& c = model_.columns.back();
    const double R = model_.reversal;
    switch (pick(12)) {
      case 0:
        return c.extremePrice;
      case 1:
        return c.direction == 0 ? c.extremePrice + R * c.boxSize : c.reversalPrice;
      case 2:
        return c.direction == 0 ? c.extremePrice - R * c.boxSize : c.reversalPrice;
      case 3:  // a box or two beyond the extreme, now and then exactly
        return c.extremePrice + (c.direction >= 0 ? 1 : -1) * c.boxSize * (1 + pick(2));
      default:
        price_ = std::max(1.0, price_ + step_(random_) * price_);
        return price_;
    }
  }
  // Applies a price of the final path, so that the next price can aim.
  void keep(const PricePoint& point) { model_.addPoint(point); }
  // The plain algorithm's chart of the prices kept.
  const Model& model() const { return model_; }
  int pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }

 private:
  std::mt19937 random_;
  std::normal_distribution<double> step_{0.0, 0.006};
  double price_ = 100;
  Model model_;
};

const std::string& recordText(int32_t record) {
  static std::deque<std::string> texts;
  while (static_cast<int32_t>(texts.size()) <= record)
    texts.push_back("2024/01/01 " + std::to_string(texts.size()));
  return texts[static_cast<size_t>(record)];
}

TEST(ColumnModel, RandomPathsWithReReadRecordsMatchThePlainAlgorithm) {
  for (uint32_t seed = 1; seed <= 24; ++seed) {
    const int32_t reversal = 3 + static_cast<int32_t>(seed % 3);
    PathMaker maker(seed, reversal);
    PfChart chart;
    ChartSettings settings;
    settings.reversal = reversal;
    chart.applySettings(settings, 2);
    std::vector<PricePoint> path;
    for (int32_t record = 0; record < 700; ++record) {
      const int perRecord = 1 + maker.pick(3);
      const int32_t first = static_cast<int32_t>(path.size());
      auto recordPoints = [&](bool final) {
        std::vector<PricePoint> points;
        for (int k = 0; k < perRecord; ++k) {
          points.emplace_back(first + k, recordText(record), 202401010000 + record, 1 + k,
                              maker.next(), record);
          if (final) maker.keep(points.back());
        }
        return points;
      };
      // The newest record is read once or twice with other prices first.
      for (int early = maker.pick(3); early > 0; --early)
        chart.update(recordPoints(false), settings);
      const std::vector<PricePoint> final = recordPoints(true);
      chart.update(final, settings);
      path.insert(path.end(), final.begin(), final.end());
    }
    SCOPED_TRACE("seed " + std::to_string(seed));
    ASSERT_EQ(path.size(), maker.model().points.size());
    expectSameChart(maker.model(), chart);
    if (HasFailure()) return;
  }
}

// Settings that change between updates reach only what is computed after.
TEST(ColumnModel, ChangingReversalBetweenUpdatesMatchesThePlainAlgorithm) {
  PathMaker maker(77, 3);
  PfChart chart;
  Model model;
  ChartSettings settings;
  std::mt19937 random(7);
  for (int32_t record = 0; record < 3000; ++record) {
    settings.reversal = 3 + static_cast<int32_t>(random() % 3);
    chart.applySettings(settings, 2);
    model.reversal = settings.reversal;
    const PricePoint point(record, recordText(record), 202401010000 + record, 4, maker.next(),
                           record);
    maker.keep(point);
    model.addPoint(point);
    chart.update(std::vector<PricePoint>{point}, settings);
  }
  expectSameChart(model, chart);
}

}  // namespace
}  // namespace tavelund
