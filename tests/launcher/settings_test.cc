#include "launcher/settings.h"

#include <gtest/gtest.h>

#include <cstring>

#include "launcher_test_util.h"

namespace tavelund {
namespace {

using testing_support::base64;
using testing_support::InFolder;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

constexpr const char* kDefaultJson =
    R"({"BoxReverse":"3","DataExpand":"FALSE","ShowLines":"20","FigureLength":"3","ScrollBackCounts":"30"})";

LauncherSettings loadedFrom(const std::string& fileText) {
  ScratchFolder folder;
  writeFile(folder / "DefaultSetting", fileText);
  LauncherSettings settings;
  LoadSettings(settings, folder / "DefaultSetting");
  return settings;
}

LauncherSettings loadedFromJson(const std::string& json) { return loadedFrom(base64(json)); }

TEST(LauncherSettings, SavedFileIsOneLineOfBase64OfCompactJsonInMemberOrder) {
  ScratchFolder folder;
  InFolder inside(folder.path());
  ASSERT_TRUE(SaveSettings(LauncherSettings{}));
  const std::string text = readFile("DefaultSetting");
  EXPECT_EQ(text, base64(kDefaultJson));
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
  // Nothing but the settings file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(LauncherSettings, SaveThenLoadGivesTheSameTexts) {
  ScratchFolder folder;
  LauncherSettings saved{"5", "TRUE", "150", "7", "300", "0.25", "atr14"};
  saved.ShowLines = "1\"2\\3";  // escapes must survive too
  ASSERT_TRUE(SaveSettings(saved, folder / "DefaultSetting"));
  // A second save replaces the first one completely.
  saved.BoxReverse = "4";
  ASSERT_TRUE(SaveSettings(saved, folder / "DefaultSetting"));
  LauncherSettings loaded;
  LoadSettings(loaded, folder / "DefaultSetting");
  EXPECT_EQ(loaded, saved);
}

// The box members follow the older five, and only when they are not the
// defaults: a launcher that knows only the five reads the same five from it.
TEST(LauncherSettings, BoxMembersAreAppendedOnlyWhenNotTheDefaults) {
  const std::string older(kDefaultJson, std::strlen(kDefaultJson) - 1);  // without "}"
  const struct {
    const char* percent;
    const char* grid;
    std::string json;
  } rows[] = {
      {"1", "", older + "}"},
      {"0.5", "", older + R"(,"BoxPercent":"0.5"})"},
      {"1", "1%", older + R"(,"GridScale":"1%"})"},
      {"2", "trad", older + R"(,"BoxPercent":"2","GridScale":"trad"})"},
  };
  for (const auto& row : rows) {
    LauncherSettings settings;
    settings.BoxPercent = row.percent;
    settings.GridScale = row.grid;
    EXPECT_EQ(encodeSettingsText(settings), base64(row.json)) << row.percent << " " << row.grid;
  }
}

// The file reader takes only what the viewer's -p and -g take; anything else
// keeps the default, and the other members of the same file still load.
TEST(LauncherSettings, BoxMembersLoadOnlyWhenTheViewerTakesThem) {
  const struct {
    const char* text;
    bool percent, grid;
  } rows[] = {
      {"0.25", true, true},      {"2", true, true},        {".5", true, true},
      {"50", true, true},        {"0", false, false},      {"50.01", false, true},
      {"-1", false, false},      {"1e1", false, true},     {"+2", false, false},
      {"1.2.3", false, false},   {".", false, false},      {"0.5%", false, true},
      {"1%", false, true},       {"50%", false, true},     {"51%", false, false},
      {"0%", false, false},      {"0.0010", true, true},   {"trad", false, true},
      {"atr14", false, true},    {"atr1000", false, true}, {"atr0", false, false},
      {"atr1001", false, false}, {"bogus", false, false},  {"1 %", false, false},
      {"", false, false},        {"TRAD", false, false},
  };
  for (const auto& row : rows) {
    const std::string text = row.text;
    LauncherSettings loaded = loadedFromJson(R"({"ShowLines":"60","BoxPercent":")" + text +
                                             R"(","GridScale":")" + text + R"("})");
    EXPECT_EQ(loaded.BoxPercent, row.percent ? text : "1") << text;
    EXPECT_EQ(loaded.GridScale, row.grid ? text : "") << text;
    EXPECT_EQ(loaded.ShowLines, "60") << text;
  }
  EXPECT_EQ(loadedFromJson(R"({"BoxPercent":2,"GridScale":null})"), LauncherSettings{});
}

TEST(LauncherSettings, SaveIntoAMissingFolderFailsAndLeavesNothing) {
  ScratchFolder folder;
  EXPECT_FALSE(SaveSettings(LauncherSettings{}, folder / "missing" / "DefaultSetting"));
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST(LauncherSettings, MissingEmptyOrBrokenFilesKeepTheValues) {
  LauncherSettings settings{"4", "TRUE", "50", "2", "40"};
  const LauncherSettings before = settings;
  LoadSettings(settings, "no-such-folder/DefaultSetting");
  EXPECT_EQ(settings, before);
  EXPECT_EQ(loadedFrom(""), LauncherSettings{});
  EXPECT_EQ(loadedFrom(base64("this is not JSON")), LauncherSettings{});
  EXPECT_EQ(loadedFrom("!!!! not even base64 ####"), LauncherSettings{});
  EXPECT_EQ(loadedFromJson(R"({"ShowLines":"50"} trailing)"), LauncherSettings{});
  EXPECT_EQ(loadedFromJson(R"({"ShowLines":"50", /* comment */ "BoxReverse":"4"})"),
            LauncherSettings{});
  EXPECT_EQ(loadedFromJson(R"({"ShowLines":"50")"), LauncherSettings{});
}

TEST(LauncherSettings, RootThatIsNotAnObjectKeepsTheValues) {
  for (const char* json : {R"("ShowLines")", "50", "null", "true", R"(["ShowLines","50"])"}) {
    EXPECT_EQ(loadedFromJson(json), LauncherSettings{}) << json;
  }
}

TEST(LauncherSettings, OnlyThePresentStringMembersChange) {
  LauncherSettings expected;
  expected.ShowLines = "50";
  EXPECT_EQ(loadedFromJson(R"({"ShowLines":"50"})"), expected);
  // A number, a boolean, null or an object leave their field alone.
  EXPECT_EQ(loadedFromJson(R"({"BoxReverse":4,"DataExpand":true,"FigureLength":null,)"
                           R"("ScrollBackCounts":{"x":"1"},"ShowLines":"50","Other":"x"})"),
            expected);
}

TEST(LauncherSettings, FirstOfADuplicatedNameWins) {
  EXPECT_EQ(loadedFromJson(R"({"ShowLines":"50","ShowLines":"60"})").ShowLines, "50");
  // A first member that is not a string is not skipped in favour of a later one.
  EXPECT_EQ(loadedFromJson(R"({"ShowLines":50,"ShowLines":"60"})").ShowLines, "20");
}

TEST(LauncherSettings, ValuesAreTakenAsTheyStand) {
  LauncherSettings loaded = loadedFromJson(R"({"BoxReverse":"9","DataExpand":"yes"})");
  EXPECT_EQ(loaded.BoxReverse, "9");
  EXPECT_EQ(loaded.DataExpand, "yes");
}

TEST(LauncherSettings, EmptyOrBlankFieldsAreRefused) {
  LauncherSettings loaded = loadedFromJson(
      R"({"BoxReverse":"","DataExpand":"TR UE","ShowLines":"5\t0","FigureLength":"\u0000",)"
      R"("ScrollBackCounts":"40\n"})");
  EXPECT_EQ(loaded, LauncherSettings{});
  // The other fields of the same file still load.
  loaded = loadedFromJson(R"({"BoxReverse":" ","ShowLines":"60"})");
  EXPECT_EQ(loaded.BoxReverse, "3");
  EXPECT_EQ(loaded.ShowLines, "60");
}

TEST(LauncherSettings, Base64BrokenOverLinesOrWithoutPaddingStillLoads) {
  const std::string json = R"({"ShowLines":"50","FigureLength":"5"})";
  std::string encoded = base64(json);
  std::string broken;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    broken += encoded[i];
    if (i % 10 == 9) broken += "\r\n";
  }
  LauncherSettings expected;
  expected.ShowLines = "50";
  expected.FigureLength = "5";
  EXPECT_EQ(loadedFrom(broken + "\n"), expected);
  while (!encoded.empty() && encoded.back() == '=') encoded.pop_back();
  EXPECT_EQ(loadedFrom(encoded), expected);
}

TEST(LauncherSettings, FileAboveTheSizeLimitIsNotRead) {
  const std::string encoded = base64(R"({"ShowLines":"50"})");
  std::string padded = encoded + std::string(kSettingsFileLimit - encoded.size(), '\n');
  EXPECT_EQ(loadedFrom(padded).ShowLines, "50");
  EXPECT_EQ(loadedFrom(padded + "\n").ShowLines, "20");
}

TEST(LauncherSettings, JsonEndsAtTheFirstZeroByte) {
  LauncherSettings expected;
  expected.ShowLines = "50";
  EXPECT_EQ(loadedFromJson(std::string(R"({"ShowLines":"50"})") + '\0' + "garbage"), expected);
}

TEST(LauncherSettings, LoadsFromTheWorkingFolderByDefault) {
  ScratchFolder folder;
  InFolder inside(folder.path());
  writeFile("DefaultSetting", base64(R"({"BoxReverse":"5"})"));
  LauncherSettings settings;
  LoadSettings(settings);
  EXPECT_EQ(settings.BoxReverse, "5");
}

TEST(RunOptions, DefaultsEndWithOneBlank) {
  EXPECT_EQ(BuildRunOptions(LauncherSettings{}), "-b 3 -s 20 -f 3 -r 30 ");
}

TEST(RunOptions, OnlyUpperCaseTrueAddsTheExpandFlag) {
  LauncherSettings settings;
  settings.DataExpand = "TRUE";
  EXPECT_EQ(BuildRunOptions(settings), "-b 3 -e -s 20 -f 3 -r 30 ");
  for (const char* off : {"true", "True", "FALSE", "", "TRUE "}) {
    settings.DataExpand = off;
    EXPECT_EQ(BuildRunOptions(settings), "-b 3 -s 20 -f 3 -r 30 ") << off;
  }
  EXPECT_EQ(BuildRunOptions(loadedFromJson(R"({"DataExpand":"TRUE"})")),
            "-b 3 -e -s 20 -f 3 -r 30 ");
  EXPECT_EQ(BuildRunOptions(loadedFromJson(R"({"DataExpand":"true"})")), "-b 3 -s 20 -f 3 -r 30 ");
}

// -p and -g follow the older options, and only when they change the chart.
TEST(RunOptions, BoxOptionsOnlyWhenNotTheDefaults) {
  const struct {
    const char* percent;
    const char* grid;
    const char* options;
  } rows[] = {
      {"1", "", "-b 3 -s 20 -f 3 -r 30 "},
      {"1.0", "", "-b 3 -s 20 -f 3 -r 30 "},
      {"01.000", "", "-b 3 -s 20 -f 3 -r 30 "},
      {"0.5", "", "-b 3 -s 20 -f 3 -r 30 -p 0.5 "},
      {"1", "trad", "-b 3 -s 20 -f 3 -r 30 -g trad "},
      {"2.5", "0.25%", "-b 3 -s 20 -f 3 -r 30 -p 2.5 -g 0.25% "},
  };
  for (const auto& row : rows) {
    LauncherSettings settings;
    settings.BoxPercent = row.percent;
    settings.GridScale = row.grid;
    EXPECT_EQ(BuildRunOptions(settings), row.options) << row.percent << " " << row.grid;
  }
  EXPECT_EQ(BuildRunOptions(loadedFromJson(R"({"DataExpand":"TRUE","GridScale":"atr14"})")),
            "-b 3 -e -s 20 -f 3 -r 30 -g atr14 ");
}

}  // namespace
}  // namespace tavelund
