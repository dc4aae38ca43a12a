#include "console/screens.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/split.h"
#include "console/keys.h"

namespace tavelund {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines = splitText(text, "\n");
  EXPECT_EQ(lines.back(), "") << "every line ends with a line end";
  lines.pop_back();
  return lines;
}

const std::string kRule(96, '-');
const std::string kBannerTop = "    ######   ######   #######   #####    #####       #     #";
const std::string kBannerBottom = "    #        #     #  #######   #####    #####        ##### ";

TEST(Screens, Header) {
  EXPECT_EQ(chartTitle({"EURUSD", "M1"}), " EURUSD (M1)");
  EXPECT_EQ(headerLine("2024/01/02 03:04:05.006", {"EURUSD", "M1"}, 120),
            "UPDATE >> 2024/01/02 03:04:05.006    EURUSD (M1)");
}

TEST(Screens, KeyboardHelp) {
  std::ostringstream out;
  writeKeyboardHelp(out);
  const auto lines = linesOf(out.str());
  ASSERT_EQ(lines.size(), 33u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], kRule);
  EXPECT_EQ(lines[4], "         COMMAND HELP");
  EXPECT_EQ(lines[6], "         'u'          Key  : View Update");
  EXPECT_EQ(lines[9], "         's'          Key  : Save");
  EXPECT_EQ(lines[12], "         'DOWN LEFT   Key' : Candle Stick One Line Past");
  EXPECT_EQ(lines[17], "         'END         Key' : Oldest");
  EXPECT_EQ(lines[20], kRule);
  EXPECT_EQ(lines[23], kBannerTop);
  EXPECT_EQ(lines[29], kBannerBottom);
  EXPECT_EQ(lines[32], kRule);
}

TEST(Screens, JoystickHelp) {
  std::ostringstream out;
  writeJoystickHelp(out);
  const auto lines = linesOf(out.str());
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[0], kRule);
  EXPECT_EQ(lines[5], "         '1'         Key  : View Update");
  EXPECT_EQ(lines[9], "         'UP  RIGHT  Key' : Candle Stick One Line Future");
  EXPECT_EQ(lines[13], kRule);
}

TEST(Screens, LogScreenListsNewestFirst) {
  RunLog log = {{"2024/01/02 03:04:05.006", "first"}, {"2024/01/02 03:04:05.007", "second"}};
  std::ostringstream out;
  writeLogScreen(out, log);
  const auto lines = linesOf(out.str());
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], kRule);
  EXPECT_EQ(lines[3], "   #####   #####   #####   ####    ####     #    #");
  EXPECT_EQ(lines[9], "   #       #    #  #####   ####    ####      #### ");
  EXPECT_EQ(lines[12], kRule);
  EXPECT_EQ(lines[14], "2024/01/02 03:04:05.007  second");
  EXPECT_EQ(lines[15], "2024/01/02 03:04:05.006  first");
  EXPECT_EQ(lines[16], "");
  EXPECT_EQ(lines[17], kRule);
}

TEST(Screens, SaveScreenAroundTheSave) {
  std::ostringstream out;
  writeSaveScreenTop(out);
  out << "    Saving... 20 milSecond";  // a line the save leaves open
  writeSaveScreenBottom(out);
  const auto lines = linesOf(out.str());
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], kRule);
  EXPECT_EQ(lines[2], "    Data SAVE : 's' Key ");
  EXPECT_EQ(lines[4], "    Saving... 20 milSecond");
  EXPECT_EQ(lines[5], kRule);
  EXPECT_EQ(lines[8], kBannerTop);
  EXPECT_EQ(lines[17], kRule);
}

TEST(Screens, DriverBlock) {
  std::ostringstream out;
  writeDriverBlock(out);
  EXPECT_EQ(out.str(), "\n\n" + kRule + "\n\n\n     Check MT5 -> DRIVER DOES NOT LOADED!!!\n\n" +
                           "     EXIT : \n\n\n     Press Any Key...\n\n" + kRule + "\n");
}

KeySet decode(KeyDecoder& decoder, const std::string& bytes) {
  KeySet down;
  decoder.feed(bytes, down);
  return down;
}

TEST(Keys, LettersAndEscapeSequences) {
  KeyDecoder decoder;
  const struct {
    const char* bytes;
    int key;
  } cases[] = {
      {"q", vk::kQ},
      {"Q", vk::kQ},
      {"u", vk::kU},
      {"S", vk::kS},
      {"h", vk::kH},
      {"l", vk::kL},
      {"\x1b[A", vk::kUp},
      {"\x1b[B", vk::kDown},
      {"\x1b[C", vk::kRight},
      {"\x1b[D", vk::kLeft},
      {"\x1bOA", vk::kUp},
      {"\x1b[H", vk::kHome},
      {"\x1b[F", vk::kEnd},
      {"\x1bOH", vk::kHome},
      {"\x1bOF", vk::kEnd},
      {"\x1b[1~", vk::kHome},
      {"\x1b[7~", vk::kHome},
      {"\x1b[4~", vk::kEnd},
      {"\x1b[8~", vk::kEnd},
      {"\x1b[5~", vk::kPageUp},
      {"\x1b[6~", vk::kPageDown},
      {"\x1b[1;5C", vk::kRight},
  };
  for (const auto& c : cases) {
    const KeySet down = decode(decoder, c.bytes);
    EXPECT_EQ(down.count(), 1u) << c.bytes + 1;
    EXPECT_TRUE(down.test(static_cast<size_t>(c.key))) << c.bytes + 1;
  }
  EXPECT_EQ(decode(decoder, "1 \r\x1b[2~\x1b[3~").count(), 0u);
  EXPECT_TRUE(decode(decoder, "x").test(0x58)) << "any letter is its capital's key";
}

TEST(Keys, SequencesSplitBetweenReads) {
  KeyDecoder decoder;
  EXPECT_EQ(decode(decoder, "u\x1b[").count(), 1u);
  const KeySet rest = decode(decoder, "6~q");
  EXPECT_TRUE(rest.test(vk::kPageDown));
  EXPECT_TRUE(rest.test(vk::kQ));
  EXPECT_EQ(rest.count(), 2u);
  // An Escape nothing follows within a pass is dropped.
  EXPECT_EQ(decode(decoder, "\x1b").count(), 0u);
  EXPECT_EQ(decode(decoder, "").count(), 0u);
  EXPECT_EQ(decode(decoder, "[1").count(), 0u) << "the rest of a dropped sequence is no key";
  // A sequence that never ends is dropped without eating what follows it.
  EXPECT_EQ(decode(decoder, std::string("\x1b[") + std::string(40, '1')).count(), 0u);
  EXPECT_TRUE(decode(decoder, "u").test(vk::kU));
}

TEST(Keys, EachKeyAloneStoresItsCommand) {
  const struct {
    int key;
    char command;
  } bindings[] = {
      {vk::kS, 's'},      {vk::kH, 'h'},        {vk::kU, 'u'},     {vk::kL, 'l'},  {vk::kHome, '0'},
      {vk::kEnd, '5'},    {vk::kLeft, '4'},     {vk::kRight, '6'}, {vk::kUp, '8'}, {vk::kDown, '2'},
      {vk::kPageUp, '+'}, {vk::kPageDown, '-'}, {vk::kA, 'a'},
  };
  for (const auto& binding : bindings) {
    KeySet down;
    down.set(static_cast<size_t>(binding.key));
    EXPECT_EQ(keyboardCommand(down), binding.command) << "key 0x" << std::hex << binding.key;
  }
  // Keys without a command of their own store nothing; Q only ends the run.
  for (int key : {vk::kQ, 0x5A, 0x20}) {
    KeySet down;
    down.set(static_cast<size_t>(key));
    EXPECT_EQ(keyboardCommand(down), 0) << "key 0x" << std::hex << key;
  }
}

TEST(Keys, LastKeyOfTheListWins) {
  KeySet down;
  EXPECT_EQ(keyboardCommand(down), 0);
  down.set(vk::kS);
  EXPECT_EQ(keyboardCommand(down), 's');
  down.set(vk::kU);
  EXPECT_EQ(keyboardCommand(down), 'u');
  down.set(vk::kPageDown);
  EXPECT_EQ(keyboardCommand(down), '-');
  // The original twelve in their order, after the keys added since.
  const auto table = keyboardCommands();
  ASSERT_EQ(table.size(), 16u);
  const auto original = table.subspan(4);
  EXPECT_EQ(original.front().key, 0x53);
  EXPECT_EQ(original[4].command, '0');
  EXPECT_EQ(original[9].key, 0x23);
  EXPECT_EQ(original.back().command, '-');
  for (const KeyCommand& entry : original) EXPECT_FALSE(entry.oncePerPress) << entry.command;
  // The analysis keys: P shows its screen (repeating while held, as the
  // screens do), T is a switch.
  EXPECT_EQ(table[1].key, 0x50);
  EXPECT_EQ(table[1].command, 'P');
  EXPECT_FALSE(table[1].oncePerPress);
  EXPECT_EQ(table[2].key, 0x54);
  EXPECT_EQ(table[2].command, 'T');
  EXPECT_TRUE(table[2].oncePerPress);
  // B, the alert bell, is a switch too.
  EXPECT_EQ(table[3].key, 0x42);
  EXPECT_EQ(table[3].command, 'b');
  EXPECT_TRUE(table[3].oncePerPress);
  // An added key loses to any of them.
  for (const int added : {vk::kA, vk::kP, vk::kT, vk::kB}) {
    KeySet both;
    both.set(static_cast<size_t>(added));
    both.set(vk::kH);
    EXPECT_EQ(keyboardCommand(both), 'h') << added;
  }
}

TEST(Keys, TheTrendLineKeyHeldDownSwitchesOnce) {
  KeySet none;
  KeySet t;
  t.set(vk::kT);
  EXPECT_EQ(keyboardCommand(t, none), 'T');
  EXPECT_EQ(keyboardCommand(t, t), 0) << "still held from the pass before";
  EXPECT_EQ(keyboardCommand(t, none), 'T') << "pressed again";
  KeySet p;
  p.set(vk::kP);
  EXPECT_EQ(keyboardCommand(p, p), 'P');
}

TEST(Keys, ALiveViewKeyHeldDownSwitchesOnce) {
  KeySet none;
  KeySet a;
  a.set(vk::kA);
  EXPECT_EQ(keyboardCommand(a, none), 'a');
  EXPECT_EQ(keyboardCommand(a, a), 0) << "still held from the pass before";
  EXPECT_EQ(keyboardCommand(none, a), 0);
  EXPECT_EQ(keyboardCommand(a, none), 'a') << "pressed again";
  // The other keys repeat while held, as they always did.
  KeySet u;
  u.set(vk::kU);
  EXPECT_EQ(keyboardCommand(u, u), 'u');
}

}  // namespace
}  // namespace tavelund
