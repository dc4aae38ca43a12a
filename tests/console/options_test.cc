#include "console/options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <iconv.h>
#endif

namespace tavelund {
namespace {

struct Parsed {
  ParsedOptions parsed;
  std::string err;
};

Parsed parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv = {"viewer"};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back(nullptr);
  std::ostringstream err;
  Parsed run;
  run.parsed = parseOptions(static_cast<int>(argv.size() - 1), argv.data(), err);
  run.err = err.str();
  return run;
}

std::string helpText() {
  std::string text;
  for (const std::string& line : helpTextLines()) text += line + "\n";
  return text;
}

TEST(Options, DefaultsWithoutOptions) {
  const Parsed run = parse({});
  EXPECT_FALSE(run.parsed.endNow);
  EXPECT_EQ(run.err, "");
  const OptionValues& v = run.parsed.values;
  EXPECT_EQ(v.reversal, 3);
  EXPECT_EQ(v.showColumns, 30);
  EXPECT_EQ(v.digits, 5);
  EXPECT_EQ(v.scrollBack, 30);
  EXPECT_FALSE(v.dataExpand);
  EXPECT_FALSE(v.modeGiven);

  ChartSettings settings;
  settings.boxFraction = 0.5;
  applyOptions(v, settings);
  EXPECT_EQ(settings.boxFraction, 0.01);
  EXPECT_FALSE(settings.dataExpand);
  applyOptions(parse({"-e"}).parsed.values, settings);
  EXPECT_TRUE(settings.dataExpand);
}

TEST(Options, RangesFallBackToDefaults) {
  EXPECT_EQ(parse({"-b", "7"}).parsed.values.reversal, 3);
  EXPECT_EQ(parse({"-b", "7", "-s", "12"}).parsed.values.showColumns, 12);
  const Parsed both = parse({"-b", "4", "-s", "7"});
  EXPECT_EQ(both.parsed.values.reversal, 4);
  EXPECT_EQ(both.parsed.values.showColumns, 7);
  EXPECT_EQ(parse({"-b", "5"}).parsed.values.reversal, 5);
  EXPECT_EQ(parse({"-b", "2"}).parsed.values.reversal, 3);
  EXPECT_EQ(parse({"-s", "0"}).parsed.values.showColumns, 30);
  EXPECT_EQ(parse({"-s", "301"}).parsed.values.showColumns, 30);
  EXPECT_EQ(parse({"-s", "300"}).parsed.values.showColumns, 300);
  EXPECT_EQ(parse({"-s", "1"}).parsed.values.showColumns, 1);
  EXPECT_EQ(parse({"-f", "-1"}).parsed.values.digits, 5);
  EXPECT_EQ(parse({"-f", "0"}).parsed.values.digits, 0);
  EXPECT_EQ(parse({"-f", "10"}).parsed.values.digits, 10);
  EXPECT_EQ(parse({"-f", "11"}).parsed.values.digits, 5);
  // The longest valid prefix counts, as the standard conversion reads it.
  EXPECT_EQ(parse({"-b", " +4x"}).parsed.values.reversal, 4);
}

TEST(Options, PageStepIsRaisedToAMultipleOfThree) {
  EXPECT_EQ(parse({"-r", "10"}).parsed.values.scrollBack, 12);
  EXPECT_EQ(parse({"-r", "600"}).parsed.values.scrollBack, 600);
  EXPECT_EQ(parse({"-r", "31"}).parsed.values.scrollBack, 33);
  EXPECT_EQ(parse({"-r", "1"}).parsed.values.scrollBack, 3);
  EXPECT_EQ(parse({"-r", "0"}).parsed.values.scrollBack, 0);
  EXPECT_EQ(parse({"-r", "-4"}).parsed.values.scrollBack, -4);
  // No multiple of 3 above the largest int: the largest one below it.
  EXPECT_EQ(parse({"-r", "2147483647"}).parsed.values.scrollBack, 2147483646);
  EXPECT_EQ(parse({"-r", "2147483646"}).parsed.values.scrollBack, 2147483646);
}

// -p sets the box percent (a value outside 0 < P <= 50 is taken as 1), -g a
// grid scale, under which -b takes 1..9; a scale that cannot be read ends
// the run as a bad number does.
TEST(Options, BoxPercentGridScaleAndTheirReversal) {
  struct Case {
    std::initializer_list<const char*> args;
    double boxFraction;
    const char* grid;  // the scale's text, or null for none
    int32_t reversal;
  };
  const Case cases[] = {
      {{"-p", "2.5"}, 0.025, nullptr, 3},     {{"-p", "50"}, 0.5, nullptr, 3},
      {{"-p", "0"}, 0.01, nullptr, 3},        {{"-p", "50.5"}, 0.01, nullptr, 3},
      {{"-p", "-2"}, 0.01, nullptr, 3},       {{"-g", "trad", "-b", "1"}, 0.01, "trad", 1},
      {{"-b", "9", "-g", "0.25%"}, 0.01, "0.25%", 9}, {{"-g", "25", "-b", "10"}, 0.01, "25", 3},
      {{"-b", "1"}, 0.01, nullptr, 3},        {{"-g", "atr14", "-p", "3"}, 0.03, "atr14", 3},
  };
  for (const Case& c : cases) {
    const Parsed run = parse(c.args);
    ASSERT_FALSE(run.parsed.endNow) << run.err;
    EXPECT_EQ(run.err, "");
    ChartSettings settings;
    applyOptions(run.parsed.values, settings);
    EXPECT_DOUBLE_EQ(settings.boxFraction, c.boxFraction) << *c.args.begin();
    EXPECT_EQ(settings.grid ? gridScaleText(*settings.grid) : "", c.grid ? c.grid : "");
    EXPECT_EQ(settings.reversal, c.reversal);
  }
  for (const char* bad : {"atr0", "0", "-1", "60%", "trap", ""}) {
    const Parsed run = parse({"-g", bad});
    EXPECT_TRUE(run.parsed.endNow) << bad;
    EXPECT_EQ(run.parsed.exitCode, -1);
    EXPECT_EQ(0u, run.err.find("Error: Invalid argument - ")) << run.err;
  }
}

TEST(Options, BadNumbersEndWithMinusOne) {
  struct Case {
    std::initializer_list<const char*> args;
    const char* text;
  };
  const Case cases[] = {
      {{"-p", "abc"}, "Error: Invalid argument - invalid stod argument\n"},
      {{"-p", "1e999"}, "Error: Out of range - stod argument out of range\n"},
      {{"-b", "abc"}, "Error: Invalid argument - invalid stoi argument\n"},
      {{"-s", "99999999999"}, "Error: Out of range - stoi argument out of range\n"},
      {{"-f", ""}, "Error: Invalid argument - invalid stoi argument\n"},
      {{"-r", "-99999999999"}, "Error: Out of range - stoi argument out of range\n"},
      // -m does not end the run before the numbers are checked.
      {{"-m", "x", "-b", "abc"}, "Error: Invalid argument - invalid stoi argument\n"},
  };
  for (const Case& c : cases) {
    const Parsed run = parse(c.args);
    EXPECT_TRUE(run.parsed.endNow) << c.text;
    EXPECT_EQ(run.parsed.exitCode, -1);
    EXPECT_EQ(run.err, c.text);
  }
}

TEST(Options, NumbersAreCheckedInOrderPercentFirst) {
  // -p before -b before -s before -f before -r, whatever the order given.
  EXPECT_EQ(parse({"-r", "x", "-b", "x", "-p", "x"}).err,
            "Error: Invalid argument - invalid stod argument\n");
  EXPECT_EQ(parse({"-r", "x", "-f", "99999999999", "-s", "x"}).err,
            "Error: Invalid argument - invalid stoi argument\n");
  EXPECT_EQ(parse({"-r", "x", "-f", "99999999999"}).err,
            "Error: Out of range - stoi argument out of range\n");
}

TEST(Options, ModeEndsWithZeroWhenGivenAValue) {
  EXPECT_TRUE(parse({"-m", "x"}).parsed.values.modeGiven);
  EXPECT_TRUE(parse({"-m", ""}).parsed.values.modeGiven);
  EXPECT_TRUE(parse({"-mx"}).parsed.values.modeGiven);
  const Parsed last = parse({"-b", "4", "-m"});
  EXPECT_FALSE(last.parsed.values.modeGiven);
  EXPECT_FALSE(last.parsed.endNow);
  EXPECT_EQ(last.err, "viewer: option requires an argument -- m\n");
  EXPECT_EQ(last.parsed.values.reversal, 4);
}

TEST(Options, HelpEndsAtOnceWhateverElseStands) {
  for (const Parsed& run : {parse({"-h"}), parse({"-e", "-h"}), parse({"-h", "-b", "abc"}),
                            parse({"-eh"}), parse({"-m", "x", "-h"})}) {
    EXPECT_TRUE(run.parsed.endNow);
    EXPECT_EQ(run.parsed.exitCode, -1);
    EXPECT_EQ(run.err, helpText());
  }
  // Messages of letters before -h come first.
  EXPECT_EQ(parse({"-z", "-h"}).err, "viewer: invalid option -- z\n" + helpText());
}

TEST(Options, UnknownLettersAndMissingArgumentsDoNotEndTheRun) {
  const Parsed unknown = parse({"-z"});
  EXPECT_FALSE(unknown.parsed.endNow);
  EXPECT_EQ(unknown.err, "viewer: invalid option -- z\n");
  EXPECT_EQ(unknown.parsed.values.reversal, 3);
  EXPECT_EQ(parse({"-:"}).err, "viewer: invalid option -- :\n");
  EXPECT_EQ(parse({"-zy", "-b4"}).err,
            "viewer: invalid option -- z\nviewer: invalid option -- y\n");
  EXPECT_EQ(parse({"-zy", "-b4"}).parsed.values.reversal, 4);
  EXPECT_EQ(parse({"-s"}).err, "viewer: option requires an argument -- s\n");
}

TEST(Options, GroupingArgumentsAndLastOccurrence) {
  EXPECT_EQ(parse({"-b4"}).parsed.values.reversal, 4);
  EXPECT_EQ(parse({"-b", "4"}).parsed.values.reversal, 4);
  const Parsed grouped = parse({"-eb4"});
  EXPECT_TRUE(grouped.parsed.values.dataExpand);
  EXPECT_EQ(grouped.parsed.values.reversal, 4);
  EXPECT_EQ(parse({"-b", "4", "-b", "5"}).parsed.values.reversal, 5);
  EXPECT_EQ(parse({"-b", "5", "-b", "9"}).parsed.values.reversal, 3);
  // The next element is the argument even when it looks like an option.
  const Parsed taken = parse({"-b", "-s"});
  EXPECT_EQ(taken.err, "Error: Invalid argument - invalid stoi argument\n");
  const Parsed dashes = parse({"-s", "-5"});
  EXPECT_EQ(dashes.parsed.values.showColumns, 30);
}

TEST(Options, NonOptionsAreIgnoredAndDoubleDashEndsTheScan) {
  const Parsed run = parse({"file", "-b", "4", "other", "-s", "9", "-"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.parsed.values.reversal, 4);
  EXPECT_EQ(run.parsed.values.showColumns, 9);
  const Parsed ended = parse({"-b", "4", "--", "-s", "9", "-h"});
  EXPECT_FALSE(ended.parsed.endNow);
  EXPECT_EQ(ended.parsed.values.showColumns, 30);
}

TEST(Options, HelpTextLinesAndCodePages) {
  const auto& utf8 = helpTextLinesUtf8();
  const auto& cp932 = helpTextLinesCp932();
  ASSERT_EQ(utf8.size(), 22u);
  ASSERT_EQ(cp932.size(), 22u);
  EXPECT_EQ(utf8[1], "HELP");
  EXPECT_EQ(utf8[14], "        -s <表示数: 20>");
  EXPECT_EQ(utf8[20], "        -r < 1  <->  600 >");
  EXPECT_EQ(utf8.back(), "");
#if !defined(_WIN32)
  // The spelled-out Shift-JIS bytes are the UTF-8 lines converted.
  iconv_t cd = iconv_open("CP932", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (size_t i = 0; i < utf8.size(); ++i) {
    std::string in = utf8[i];
    std::string out(in.size() * 2 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    ASSERT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1)) << i;
    out.resize(out.size() - outLeft);
    EXPECT_EQ(out, cp932[i]) << "line " << i;
  }
  iconv_close(cd);
#endif
}

}  // namespace
}  // namespace tavelund
