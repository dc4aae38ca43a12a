// The hand-written matcher must accept exactly the lines that the plain
// split + std::regex + stoi/stof reading accepts, and read them the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/engine_literal_timeline.h"
#include "intake/tick_intake.h"

namespace tavelund {
namespace {

class LineMaker {
 public:
  explicit LineMaker(uint32_t seed) : random_(seed) {}

  std::string line() {
    const int shape = pick(10);
    if (shape == 0) return noise(pick(40));
    std::string text = date();
    const int fields = shape == 1 ? pick(7) : 4 + pick(2) * pick(2);
    for (int i = 0; i < fields; ++i) text += "," + price();
    if (pick(6) == 0) text += '\r';
    if (pick(3) == 0) mutate(text);
    return text;
  }

 private:
  int pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }

  std::string digits(int maxLength) {
    std::string text;
    const int length = 1 + pick(maxLength);
    for (int i = 0; i < length; ++i) text += static_cast<char>('0' + pick(10));
    return text;
  }
  // Mostly short numbers; now and then long enough to overflow an int.
  std::string number() { return pick(12) == 0 ? digits(14) : digits(pick(3) == 0 ? 4 : 2); }

  std::string dayGroup() {
    if (pick(3) != 0) return number();
    static const char alphabet[] = "0123456789 :";
    std::string text;
    const int length = 1 + pick(6);
    for (int i = 0; i < length; ++i) text += alphabet[pick(12)];
    return text;
  }

  std::string date() {
    return number() + "/" + number() + "/" + dayGroup() + " " + number() + ":" + number() + ":" +
           number() + "." + number();
  }

  std::string price() {
    static const char* const forms[] = {"1.08525",
                                        "-2.5",
                                        "0.00000",
                                        "123456.78901",
                                        " 1.5",
                                        "+1.5",
                                        "\t2.25",
                                        "1e5",
                                        "1E-3",
                                        "0x1p3",
                                        "0x1.8P1",
                                        "inf",
                                        "-INF",
                                        "nan",
                                        "NaN(123)",
                                        "infinity",
                                        "1.5abc",
                                        ".5",
                                        "5.",
                                        "-",
                                        "",
                                        "abc",
                                        "1e39",
                                        "-1e39",
                                        "1e-50",
                                        "1e-40",
                                        "3.4028235e38",
                                        "3.40282357e38",
                                        "0000000000000000000000000001.5",
                                        "1.0000000000000000000000000001",
                                        "0.0000000000000000000000000000001",
                                        "123456789012345678901234567890123456789012",
                                        "1..5",
                                        "--1",
                                        "1,5",
                                        "0x",
                                        "e5",
                                        " ",
                                        "\v1",
                                        "1 2"};
    if (pick(3) == 0) return forms[pick(static_cast<int>(std::size(forms)))];
    std::string text = pick(5) == 0 ? "-" : "";
    text += digits(6) + "." + digits(6);
    return text;
  }

  std::string noise(int length) {
    static const char alphabet[] = "0123456789/: .,-+eExXainf\r\t";
    std::string text;
    for (int i = 0; i < length; ++i) text += alphabet[pick(static_cast<int>(sizeof alphabet) - 1)];
    return text;
  }

  void mutate(std::string& text) {
    const int edits = 1 + pick(3);
    for (int i = 0; i < edits && !text.empty(); ++i) {
      const size_t at = static_cast<size_t>(pick(static_cast<int>(text.size())));
      switch (pick(3)) {
        case 0:
          text.erase(at, 1);
          break;
        case 1:
          text.insert(at, noise(1));
          break;
        default:
          text[at] = noise(1)[0];
          break;
      }
    }
  }

  std::mt19937 random_;
};

bool samePrice(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

void expectSameReading(const std::string& line) {
  TimelineLine expected, actual;
  const bool literalAccepts = literal::parseLine(line, expected);
  const bool accepts = parseTimelineLine(line, actual);
  ASSERT_EQ(literalAccepts, accepts) << "line: [" << line << "]";
  if (!accepts) return;
  EXPECT_EQ(expected.minuteText, actual.minuteText) << line;
  EXPECT_EQ(expected.minuteKey, actual.minuteKey) << line;
  EXPECT_EQ(expected.year, actual.year) << line;
  EXPECT_EQ(expected.month, actual.month) << line;
  EXPECT_EQ(expected.day, actual.day) << line;
  EXPECT_EQ(expected.hour, actual.hour) << line;
  EXPECT_EQ(expected.minute, actual.minute) << line;
  EXPECT_TRUE(samePrice(expected.open, actual.open)) << line;
  EXPECT_TRUE(samePrice(expected.high, actual.high)) << line;
  EXPECT_TRUE(samePrice(expected.low, actual.low)) << line;
  EXPECT_TRUE(samePrice(expected.close, actual.close)) << line;
}

TEST(TimelineEquivalence, HandPickedLinesReadAsTheRegexReadsThem) {
  const char* const lines[] = {
      "2024/03/05 09:07:59.999,2.00000,3.00000,1.00000,2.50000",
      "2024/3/5 9:7:3.4,1,2,3,4",
      "2024/03/ 5 12 09:07:00.000,1,2,3,4",  // blanks inside the day group
      "2024/03/05:1 09:07:00.000,1,2,3,4",   // colon inside the day group
      "2024/03/:5 09:07:00.000,1,2,3,4",     // day group without leading digits
      "2024/03/  09:07:00.000,1,2,3,4",      // day group of blanks only
      "2024/03/5 5 09:07:00.000,1,2,3,4",
      "2024/03/05 09:07:00.000 ,1,2,3,4",  // blank after the fraction
      "2024/03/05 09:07:00,1,2,3,4",       // no fraction
      "2024/03/05  09:07:00.1,1,2,3,4",
      "2024/03/05 09:07:00.1.2,1,2,3,4",
      "2024//05 09:07:00.1,1,2,3,4",
      "/03/05 09:07:00.1,1,2,3,4",
      "2024/03/05 09:07:00.1",
      "2024/03/05 09:07:00.1,1",
      "2024/03/05 09:07:00.1,1,2,3",
      "2024/03/05 09:07:00.1,1,2,3,4,5,6",
      "2024/03/05 09:07:00.1,1,2,3,",
      "99999999999/03/05 09:07:00.1,1,2,3,4",  // year beyond int
      "2147483647/03/05 09:07:00.1,1,2,3,4",   // year at the int limit
      "2147483648/03/05 09:07:00.1,1,2,3,4",
      "2024/03/05 09:07:99999999999999.99999999999999,1,2,3,4",  // unread groups may be long
      "2024/03/0000000000000000000005 09:07:00.1,1,2,3,4",
      "2024/03/05 09:07:00.1,abc,2,3,4",
      "2024/03/05 09:07:00.1,1e39,2,3,4",
      "2024/03/05 09:07:00.1,1e-50,2,3,4",
      "2024/03/05 09:07:00.1, 1.5,+2,0x1p3,inf",
      "2024/03/05 09:07:00.1,nan,2,3,4\r",
      "2024/03/05 09:07:00.1,1.08525,1.08530,1.08490,1.08525",
      " 2024/03/05 09:07:00.1,1,2,3,4",
      "",
      ",",
  };
  for (const char* line : lines) expectSameReading(line);
}

// The longest minute text a producer writes is five 10-digit numbers and
// their separators; a line with a longer one is no price line, whatever
// makes it long, and the literal reading agrees.
TEST(TimelineEquivalence, AMinuteTextLongerThanAnyProducerWritesIsRefused) {
  const std::string most = "2147483647";
  const std::string prices = ":00.000,1,2,3,4";
  const struct {
    const char* what;
    std::string line;
    bool accepted;
  } cases[] = {
      {"the usual form", "2024/03/05 09:07" + prices, true},
      {"every number at its longest",
       most + "/" + most + "/" + most + " " + most + ":" + most + prices, true},
      {"one zero more", "0" + most + "/" + most + "/" + most + " " + most + ":" + most + prices,
       false},
      {"blanks in the day up to the bound", "2024/03/5" + std::string(38, ' ') + " 09:07" + prices,
       true},
      {"3,000 colons in the day", "2024/03/05" + std::string(3000, ':') + " 09:07" + prices, false},
      {"a mebibyte of blanks", "2024/03/" + std::string(1 << 20, ' ') + "5 09:07" + prices, false},
      {"long seconds stay unread", "2024/03/05 09:07:" + std::string(100, '0') + ".000,1,2,3,4",
       true},
  };
  for (const auto& one : cases) {
    TimelineLine record;
    EXPECT_EQ(parseTimelineLine(one.line, record), one.accepted) << one.what;
    if (one.accepted) {
      EXPECT_LE(record.minuteText.size(), 5 * most.size() + 4) << one.what;
    }
    if (one.line.size() < 4096) expectSameReading(one.line);
  }
}

TEST(TimelineEquivalence, GeneratedCorpusOfValidAndBrokenLines) {
  LineMaker maker(20240305);
  int accepted = 0;
  constexpr int kLines = 150000;
  for (int i = 0; i < kLines; ++i) {
    const std::string line = maker.line();
    TimelineLine record;
    accepted += parseTimelineLine(line, record) ? 1 : 0;
    expectSameReading(line);
    if (HasFatalFailure()) return;
  }
  // The corpus must exercise both outcomes in earnest.
  EXPECT_GT(accepted, kLines / 10);
  EXPECT_LT(accepted, kLines * 9 / 10);
}

TEST(TimelineEquivalence, FullConversionMatchesTheLiteralOne) {
  LineMaker maker(7);
  std::string text;
  for (int i = 0; i < 20000; ++i) text += maker.line() + "\n";
  text += "2024/03/05 09:07:00.1,1,2,3,4";  // a last line without its line end
  for (const bool expand : {true, false}) {
    literal::Conversion expected;
    TickIntake actual;
    literal::convertAll(expected, text, expand);
    convertTimeline(actual, text, expand, ConsolePort{});
    ASSERT_EQ(expected.records, actual.recordList.size());
    ASSERT_EQ(expected.points.size(), actual.pointList.size());
    EXPECT_EQ(actual.pointList.size(), actual.batchPointList.size());
    for (size_t i = 0; i < actual.pointList.size(); ++i) {
      const PricePoint& a = actual.pointList[i];
      const PricePoint& e = expected.points[i];
      ASSERT_EQ(e.index, a.index);
      ASSERT_EQ(e.text, a.text);
      ASSERT_EQ(e.minuteKey, a.minuteKey);
      ASSERT_EQ(e.kind, a.kind);
      ASSERT_TRUE(samePrice(e.price, a.price));
      ASSERT_EQ(e.recordIndex, a.recordIndex);
    }
  }
}

}  // namespace
}  // namespace tavelund
