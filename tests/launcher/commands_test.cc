#include "launcher/commands.h"

#include <gtest/gtest.h>

#include "launcher_test_util.h"

namespace tavelund {
namespace {

using testing_support::InFolder;
using testing_support::ScratchFolder;

std::string storedAfterOk(int command, const std::string& box) {
  LauncherSettings settings;
  return acceptNumberDialog(*numberFieldFor(command), box, settings);
}

TEST(NumberDialog, FieldsRangesAndLabels) {
  struct Row {
    int command;
    std::string LauncherSettings::*field;
    unsigned minimum, maximum;
    std::string label;
  };
  const Row rows[] = {
      {34102, &LauncherSettings::BoxReverse, 3, 5, "Box Reverse"},
      {34104, &LauncherSettings::ShowLines, 3, 150, "Show Lines"},
      {34105, &LauncherSettings::FigureLength, 1, 7, "Figure Length"},
      {34106, &LauncherSettings::ScrollBackCounts, 3, 300, "Scroll Back Lines"},
  };
  for (const Row& row : rows) {
    const NumberField* field = numberFieldFor(row.command);
    ASSERT_NE(field, nullptr) << row.command;
    EXPECT_EQ(field->field, row.field);
    EXPECT_EQ(field->minimum, row.minimum);
    EXPECT_EQ(field->maximum, row.maximum);
    EXPECT_EQ(field->label, row.label);
  }
  for (int other : {105, 34211, 34300, 34400, 34500, 34103, 0}) {
    EXPECT_EQ(numberFieldFor(other), nullptr) << other;
  }
}

TEST(NumberDialog, OkStoresTheMinimumForAnythingOutOfRange) {
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, "4"), "4");
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, "5"), "5");
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, "6"), "3");
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, "3"), "3");
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, "0"), "3");
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, "abc"), "3");
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, ""), "3");
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, "-4"), "3");
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, "4x"), "3");
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, "4294967300"), "3");  // above 32 bits
  EXPECT_EQ(storedAfterOk(kCommandBoxReverse, " 4 "), "4");
  EXPECT_EQ(storedAfterOk(kCommandFigureLength, "1"), "1");
  EXPECT_EQ(storedAfterOk(kCommandFigureLength, "8"), "1");
  EXPECT_EQ(storedAfterOk(kCommandScrollBack, "300"), "300");
  EXPECT_EQ(storedAfterOk(kCommandScrollBack, "301"), "3");
  EXPECT_EQ(storedAfterOk(kCommandShowLines, "150"), "150");
}

TEST(NumberDialog, OkChangesOnlyItsOwnField) {
  LauncherSettings settings;
  acceptNumberDialog(*numberFieldFor(kCommandShowLines), "77", settings);
  LauncherSettings expected;
  expected.ShowLines = "77";
  EXPECT_EQ(settings, expected);
}

TEST(NumberDialog, OpeningShowsTheFieldAndClampsTheSlider) {
  LauncherSettings settings;
  settings.BoxReverse = "9";
  NumberDialogStart start = openNumberDialog(*numberFieldFor(kCommandBoxReverse), settings);
  EXPECT_EQ(start.number, 9u);
  EXPECT_EQ(start.sliderPosition, 5u);
  // OK without a change stores the minimum.
  EXPECT_EQ(acceptNumberDialog(*numberFieldFor(kCommandBoxReverse), std::to_string(start.number),
                               settings),
            "3");

  settings.ShowLines = "1";
  start = openNumberDialog(*numberFieldFor(kCommandShowLines), settings);
  EXPECT_EQ(start.number, 1u);
  EXPECT_EQ(start.sliderPosition, 3u);

  start = openNumberDialog(*numberFieldFor(kCommandScrollBack), LauncherSettings{});
  EXPECT_EQ(start.number, 30u);
  EXPECT_EQ(start.sliderPosition, 30u);
}

TEST(NumberDialog, FieldThatIsNotANumberShowsTheMinimum) {
  for (const char* text : {"abc", "", "-4", "4.5", "99999999999"}) {
    LauncherSettings settings;
    settings.FigureLength = text;
    NumberDialogStart start = openNumberDialog(*numberFieldFor(kCommandFigureLength), settings);
    EXPECT_EQ(start.number, 1u) << text;
    EXPECT_EQ(start.sliderPosition, 1u) << text;
  }
}

TEST(NumberDialog, SliderPositionGoesIntoTheNumberBoxAsDecimal) {
  EXPECT_EQ(sliderToNumberBox(150), "150");
  EXPECT_EQ(sliderToNumberBox(3), "3");
}

TEST(TextDialog, FieldsAndLabels) {
  const TextField* size = textFieldFor(34107);
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(size->field, &LauncherSettings::BoxPercent);
  EXPECT_STREQ(size->label, "Box Size % (0 < P <= 50)");
  const TextField* grid = textFieldFor(34108);
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->field, &LauncherSettings::GridScale);
  EXPECT_STREQ(grid->label, "Grid: 1%, 0.0010, trad, atr14; empty: none");
  for (int other : {34102, 34106, 34109, 34300, 0}) {
    EXPECT_EQ(textFieldFor(other), nullptr) << other;
  }
  EXPECT_EQ(numberFieldFor(34107), nullptr);
  EXPECT_EQ(numberFieldFor(34108), nullptr);
}

// Like the number dialogs, OK never stores what the viewer would refuse:
// the option's default takes its place.
TEST(TextDialog, OkStoresTheDefaultForAnythingTheViewerRefuses) {
  const struct {
    int command;
    const char* typed;
    const char* stored;
  } rows[] = {
      {kCommandBoxSize, "0.25", "0.25"}, {kCommandBoxSize, " 2 ", "2"},
      {kCommandBoxSize, "50", "50"},     {kCommandBoxSize, "51", "1"},
      {kCommandBoxSize, "0", "1"},       {kCommandBoxSize, "abc", "1"},
      {kCommandBoxSize, "", "1"},        {kCommandBoxSize, "1%", "1"},
      {kCommandBoxGrid, "1%", "1%"},     {kCommandBoxGrid, "\t0.0010 ", "0.0010"},
      {kCommandBoxGrid, "trad", "trad"}, {kCommandBoxGrid, "atr14", "atr14"},
      {kCommandBoxGrid, "", ""},         {kCommandBoxGrid, "  ", ""},
      {kCommandBoxGrid, "atr0", ""},     {kCommandBoxGrid, "51%", ""},
      {kCommandBoxGrid, "-5", ""},       {kCommandBoxGrid, "1 %", ""},
      {kCommandBoxGrid, "bogus", ""},
  };
  for (const auto& row : rows) {
    LauncherSettings settings;
    settings.BoxPercent = "3";
    settings.GridScale = "atr5";
    EXPECT_EQ(acceptTextDialog(*textFieldFor(row.command), row.typed, settings), row.stored)
        << row.command << " " << row.typed;
    // The other option stays as it was.
    EXPECT_EQ(row.command == kCommandBoxSize ? settings.GridScale : settings.BoxPercent,
              row.command == kCommandBoxSize ? "atr5" : "3");
  }
}

TEST(LauncherCommands, NumericAndTextCommandsOpenTheirDialogs) {
  LauncherSettings settings;
  for (int command : {34102, 34104, 34105, 34106}) {
    CommandEffect effect = handleCommand(command, settings);
    EXPECT_EQ(effect.kind, CommandEffect::Kind::OpenNumberDialog);
    EXPECT_EQ(effect.numberField, numberFieldFor(command));
  }
  for (int command : {34107, 34108}) {
    CommandEffect effect = handleCommand(command, settings);
    EXPECT_EQ(effect.kind, CommandEffect::Kind::OpenTextDialog);
    EXPECT_EQ(effect.textField, textFieldFor(command));
  }
  EXPECT_EQ(settings, LauncherSettings{});
}

TEST(LauncherCommands, DataExpandOffClearsTheFlagAndSaysSo) {
  LauncherSettings settings;
  settings.DataExpand = "TRUE";
  CommandEffect effect = handleCommand(kCommandDataExpandOff, settings);
  EXPECT_EQ(settings.DataExpand, "FALSE");
  EXPECT_EQ(effect.kind, CommandEffect::Kind::ShowMessage);
  EXPECT_EQ(effect.messageText, "DATA EXPAND OFF");
  EXPECT_EQ(effect.messageCaption, "DATA EXPAND");
  EXPECT_EQ(BuildRunOptions(settings).find("-e "), std::string::npos);
}

TEST(LauncherCommands, OptionsTracesAndShowsTheRunOptions) {
  LauncherSettings settings;
  CommandEffect effect = handleCommand(kCommandOptions, settings);
  const std::string rule(60, '-');
  EXPECT_EQ(effect.kind, CommandEffect::Kind::ShowMessage);
  EXPECT_EQ(effect.messageText, "-b 3 -s 20 -f 3 -r 30 ");
  EXPECT_EQ(effect.messageCaption, "RUN OPTIONS");
  ASSERT_EQ(effect.debugTrace.size(), 3u);
  EXPECT_EQ(effect.debugTrace[0], rule + "\n");
  EXPECT_EQ(effect.debugTrace[1], "-b 3 -s 20 -f 3 -r 30 ");
  EXPECT_EQ(effect.debugTrace[2], "\n" + rule + "\n");

  settings.BoxPercent = "0.5";
  settings.GridScale = "trad";
  effect = handleCommand(kCommandOptions, settings);
  EXPECT_EQ(effect.messageText, "-b 3 -s 20 -f 3 -r 30 -p 0.5 -g trad ");
  EXPECT_EQ(effect.debugTrace[1], effect.messageText);
}

TEST(LauncherCommands, SaveWritesTheWorkingFolderFileAndCloseSavesNothing) {
  ScratchFolder folder;
  InFolder inside(folder.path());
  LauncherSettings settings;
  settings.ShowLines = "99";
  EXPECT_EQ(handleCommand(kCommandClose, settings).kind, CommandEffect::Kind::Close);
  EXPECT_FALSE(std::filesystem::exists("DefaultSetting"));
  EXPECT_EQ(handleCommand(kCommandSaveSettings, settings).kind, CommandEffect::Kind::Done);
  LauncherSettings loaded;
  LoadSettings(loaded);
  EXPECT_EQ(loaded.ShowLines, "99");
}

TEST(LauncherCommands, OtherIdsAreNotHandled) {
  LauncherSettings settings;
  for (int other : {0, 1, 2, 104, 106, 34101, 34109, 34201, 34202, 34203, 65535}) {
    EXPECT_EQ(handleCommand(other, settings).kind, CommandEffect::Kind::NotHandled) << other;
  }
  EXPECT_EQ(settings, LauncherSettings{});
}

}  // namespace
}  // namespace tavelund
