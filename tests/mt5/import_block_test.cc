// The import block of TickwellPublisher.mq5 against link/tickwell.h, so the
// two cannot drift apart; and the checker itself against blocks that did.
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/mt5/import_check.h"
#include "tests/support/file_text.h"

namespace tavelund::mt5 {
namespace {

using tavelund::testing::fileText;

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string& program() {
  static const std::string text = fileText(TAVELUND_MQ5_SOURCE);
  return text;
}

const std::vector<Declaration>& header() {
  static const std::vector<Declaration> exports = readHeaderExports(fileText(TAVELUND_LINK_HEADER));
  return exports;
}

std::vector<std::string> problemsOf(const std::string& block) {
  return compareWithHeader(readImportBlock(block), header());
}

TEST(ImportBlock, MatchesTheHeaderAndHoldsExactlyTheExportsTheProgramCalls) {
  ASSERT_FALSE(program().empty()) << TAVELUND_MQ5_SOURCE;
  const ImportBlock block = readImportBlock(program());
  ASSERT_EQ(block.error, "");
  EXPECT_EQ(block.library, "tickwell.dll");
  EXPECT_THAT(compareWithHeader(block, header()), IsEmpty());
  EXPECT_THAT(uncalledImports(program(), block), IsEmpty());
  std::vector<std::string> names;
  for (const auto& function : block.functions) names.push_back(function.name);
  // No text reader: the program only writes, reads the one flag, and looks
  // whether the channels exist.
  EXPECT_THAT(names, ElementsAre("preInitSendticksMT5", "initSendticksMT5", "deinitSendticksMT5",
                                 "checkSendticksMT5", "getSendCheckMT5", "setsendcheckMT5",
                                 "setsendtimeNowMT5", "settimespanMT5", "setsymbolcMT5",
                                 "lineSendTimeLineMT5", "completeSendticksMT5"));
}

TEST(ImportBlock, TheHeaderIsReadWhole) {
  // A checker that saw no exports would find every import unknown, but one
  // that saw them wrongly could pass a drifted block: the header as read.
  ASSERT_EQ(header().size(), 18u);
  auto find = [](const std::string& name) {
    for (const auto& e : header()) {
      if (e.name == name) return e;
    }
    return Declaration{};
  };
  EXPECT_EQ(find("getsymbolcMT5").result, "const char*");
  EXPECT_THAT(find("setsymbolcMT5").params, ElementsAre("const char*"));
  EXPECT_THAT(find("settimespanMT5").params, ElementsAre("int*"));
  EXPECT_THAT(find("checkSendticksMT5").params, ElementsAre("const wchar_t*"));
  EXPECT_EQ(find("lineSendTimeLineMT5").result, "void");
  EXPECT_EQ(find("lineSendTimeLineMT5").params.size(), 11u);
  EXPECT_EQ(find("lineSendTimeLineMT5").params.back(), "double");
  EXPECT_EQ(find("add").result, "int");
}

TEST(ImportBlock, ADriftedBlockIsCaughtWithItsReason) {
  EXPECT_THAT(
      problemsOf("#import \"tickwell.dll\"\n"
                 "int setsymbolcMT5(string text);\n"  // a wide text
                 "int settimespanMT5(int value);\n"   // by value, not by reference
                 "int preInitSendticksMT5(void);\n"   // bool is one byte, not int
                 "void lineSendTimeLineMT5(int year, int month, int day, int hour,\n"
                 "  int minute, int second, double open, double high, double low,\n"
                 "  double close);\n"           // the millisecond is missing
                 "bool initSendticks(void);\n"  // no such export
                 "int setsendcheckMT5(int &value);\n"
                 "int setsendcheckMT5(int &value);\n"  // twice
                 "string getsymbolcMT5(void);\n"       // a narrow text read as wide
                 "int setsendtimeMT5(uchar text);\n"   // one byte, not an array
                 "#import\n"),
      ElementsAre("setsymbolcMT5 argument 1 is const wchar_t* in the import block but "
                  "const char* in the header",
                  "settimespanMT5 argument 1 is int in the import block but int* in the "
                  "header",
                  "preInitSendticksMT5 returns int in the import block but bool in the "
                  "header",
                  "lineSendTimeLineMT5 takes 10 arguments in the import block but 11 in "
                  "the header",
                  "initSendticks is no export of the header", "setsendcheckMT5 is imported twice",
                  "getsymbolcMT5 returns const wchar_t* in the import block but const "
                  "char* in the header",
                  "setsendtimeMT5 argument 1 is unsigned char in the import block but "
                  "const char* in the header"));
}

TEST(ImportBlock, TheMappingOfTheTerminalIsApplied) {
  // The forms the program uses, with comments, const and spacing as MQL5
  // allows them.
  EXPECT_THAT(problemsOf("#import \"tickwell.dll\" // the link library\n"
                         "int  setsymbolcMT5(const uchar & text [ ]); /* narrow */\n"
                         "int settimespanMT5(int& value);\n"
                         "bool checkSendticksMT5(string name);\n"
                         "int add(int a, int b);\n"
                         "void lineSendTimeLineMT5(int y, int mo, int d, int h, int mi, int s,\n"
                         "  int ms, double o, double hi, double lo, double c);\n"
                         "#import\n"),
              IsEmpty());
  EXPECT_THAT(problemsOf("#import \"user32.dll\"\nint add(int a, int b);\n#import\n"),
              ElementsAre("the block imports from user32.dll, not tickwell.dll"));
  EXPECT_THAT(problemsOf("#import \"tickwell.dll\"\nint add(int a, int b);\n"),
              ElementsAre("the #import block is not closed"));
  EXPECT_THAT(problemsOf("int add(int a, int b);\n"), ElementsAre("no #import block"));
  EXPECT_THAT(problemsOf("#import \"tickwell.dll\"\nint add(datetime a, int b);\n#import\n"),
              ElementsAre("add argument 1 is <no C form: datetime> in the import block but int "
                          "in the header"));
}

TEST(ImportBlock, AnImportThatIsNeverCalledIsReported) {
  const std::string text =
      "#import \"tickwell.dll\"\nint add(int a, int b);\nint getSendCheckMT5(void);\n#import\n"
      "// add(1, 2) in a comment is no call\n"
      "int OnInit() { int sum = myadd(1, 2); return getSendCheckMT5 (); }\n";
  EXPECT_THAT(uncalledImports(text, readImportBlock(text)), ElementsAre("add"));
}

TEST(ImportBlock, TheProgramCarriesTheReleaseVersion) {
  EXPECT_EQ(propertyVersion(program()), TAVELUND_VERSION);
}

}  // namespace
}  // namespace tavelund::mt5
