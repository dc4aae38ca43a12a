// Attacks through the bytes of the link on what the viewer writes: the CSV
// file's name and its temporary file, and the texts it shows. A hostile
// producer controls the symbol, the send time and the published lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_log.h"
#include "common/screen_text.h"
#include "console/screens.h"
#include "engine/last_line.h"
#include "engine/csv_save.h"
#include "tests/support/planted_links.h"
#include "tests/support/file_text.h"

namespace tavelund {
namespace {

namespace fs = std::filesystem;
using tavelund::testing::PlantedLinks;

struct HostileSide {
  std::string symbol;
  std::string sendTime = "2024/01/02 10:15:01.000";
  std::string lines = "2024/01/02 10:15:00.000,1,2,3,4\n";
};
HostileSide side;

const LinkCalls kHostileLink{
    .getSendTime = [] { return side.sendTime.c_str(); },
    .getSymbol = [] { return side.symbol.c_str(); },
    .getSendCheck = [] { return 1; },
    .setSendCheck = [](int*) { return 1; },
    .readLines = [] { return side.lines.c_str(); },
};

bool hasControlByte(const std::string& text, const std::string& allowed = "") {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 || byte == 0x7f) && allowed.find(c) == std::string::npos) return true;
  }
  return false;
}

class HostileLink : public ::testing::Test {
 protected:
  void SetUp() override {
    side = HostileSide{};
    folder =
        fs::temp_directory_path() /
        ("viewer_security_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder / "program");
    options.programFolder = folder / "program";
    options.out = &out;
    options.err = &err;
    options.waitLimit = std::chrono::milliseconds(0);
    options.clock = [] { return LocalTime{2024, 1, 2, 3, 4, 5, 6}; };
  }
  void TearDown() override {
    fs::remove_all(folder);
    runLog().clear();
  }

  CsvSaveOutcome save(const std::string& symbol) {
    side.symbol = symbol;
    out.str("");
    err.str("");
    return saveCsv(kHostileLink, options);
  }

  // Every file below the test's folder, relative to it.
  std::vector<std::string> files() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      if (!entry.is_directory())
        found.push_back(entry.path().lexically_relative(folder).generic_string());
    }
    return found;
  }

  fs::path folder;
  std::ostringstream out, err;
  CsvSaveOptions options;
};

TEST_F(HostileLink, SymbolsThatNamePathsStayInsideTheCsvFolder) {
  const struct {
    std::string symbol;
    std::string file;
  } cases[] = {
      {"../../ESCAPED", ".._.._ESCAPED_20240102030405.csv"},
      {"..\\..\\ESCAPED", ".._.._ESCAPED_20240102030405.csv"},
      {"/ABSOLUTE/ESCAPED", "_ABSOLUTE_ESCAPED_20240102030405.csv"},
      {"C:\\Windows\\ABSOLUTE", "C__Windows_ABSOLUTE_20240102030405.csv"},
      {"\\\\server\\share\\X", "__server_share_X_20240102030405.csv"},
      {"a<b>c:d\"e|f?g*h", "a_b_c_d_e_f_g_h_20240102030405.csv"},
      {"TAB\tNL\nESC\x1b]0;t\x07"
       "DEL\x7f",
       "TAB_NL_ESC_]0;t_DEL__20240102030405.csv"},
  };
  for (const auto& attack : cases) {
    fs::remove_all(folder / "program" / "CSV");
    ASSERT_EQ(save(attack.symbol), CsvSaveOutcome::Saved) << attack.file << err.str();
    EXPECT_EQ(files(), std::vector<std::string>{"program/CSV/" + attack.file});
    EXPECT_FALSE(hasControlByte(out.str(), "\b\r\n")) << attack.file;
  }
  // An absolute symbol naming the test's own folder: had it replaced the
  // CSV folder, the file would stand beside "program".
  fs::remove_all(folder / "program" / "CSV");
  ASSERT_EQ(save((folder / "ESCAPED").string()), CsvSaveOutcome::Saved) << err.str();
  const std::vector<std::string> written = files();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].rfind("program/CSV/", 0), 0u) << written[0];
  EXPECT_EQ(written[0].find('/', 12), std::string::npos) << written[0];
}

TEST_F(HostileLink, SymbolsThatTradersUseKeepTheirNames) {
  for (const std::string symbol : {"EURUSD", "US500.cash", "BTCUSD#", "XAUUSD.m"}) {
    fs::remove_all(folder / "program" / "CSV");
    ASSERT_EQ(save(symbol), CsvSaveOutcome::Saved) << symbol;
    EXPECT_EQ(files(), std::vector<std::string>{"program/CSV/" + symbol + "_20240102030405.csv"});
  }
}

TEST_F(HostileLink, ASymbolOfOnlyDotsIsRefused) {
  for (const std::string symbol : {".", "..", "..."}) {
    EXPECT_EQ(save(symbol), CsvSaveOutcome::CannotSave) << symbol;
    EXPECT_EQ(err.str().rfind("Can Not Save : ", 0), 0u) << err.str();
    EXPECT_EQ(files(), std::vector<std::string>{}) << symbol;
  }
}

// A link planted where the file or its temporary file will be is never
// written through; the save writes a file of its own instead.
TEST_F(HostileLink, LinksPlantedAtTheFileNamesAreNotFollowed) {
  const fs::path victim = folder / "victim.txt";
  std::ofstream(victim) << "the victim's own text";
  fs::create_directories(folder / "program" / "CSV");
  const std::string name = "program/CSV/EURUSD_20240102030405.csv";
  const fs::path file = folder / name;
  {
    PlantedLinks links(folder);
    if (!links.plant("../../victim.txt", name + ".part")) {
      GTEST_SKIP() << "SKIPPED: this system cannot plant a symbolic link for the test";
    }
    ASSERT_TRUE(links.plant("../../victim.txt", name));

    ASSERT_EQ(save("EURUSD"), CsvSaveOutcome::Saved) << err.str();
    EXPECT_EQ(testing::fileText(victim), "the victim's own text");
    EXPECT_EQ(testing::fileText(file).rfind("date,open,high,low,close", 0), 0u);
    EXPECT_EQ(testing::fileText(fs::path(file) += ".part"), "the victim's own text")
        << "someone else's link is left alone";
#if !defined(_WIN32)
    EXPECT_FALSE(fs::is_symlink(file)) << "the saved file replaced the link, not its target";
    EXPECT_TRUE(fs::is_symlink(fs::path(file) += ".part"));
#endif
  }
}

// A plain file planted at the old temporary name is not written through
// either (on Windows, where links need privileges, this is the case).
TEST_F(HostileLink, AFilePlantedAtTheTemporaryNameIsLeftAlone) {
  fs::create_directories(folder / "program" / "CSV");
  const fs::path file = folder / "program" / "CSV" / "EURUSD_20240102030405.csv";
  std::ofstream(fs::path(file) += ".part") << "planted";
  ASSERT_EQ(save("EURUSD"), CsvSaveOutcome::Saved) << err.str();
  EXPECT_EQ(testing::fileText(fs::path(file) += ".part"), "planted");
  EXPECT_EQ(testing::fileText(file).rfind("date,open,high,low,close", 0), 0u);
}

TEST_F(HostileLink, SendTimeIsShownWithoutControlsAndRowsAreSavedByteExact) {
  side.sendTime = "2024/01/02\x1b[?1049l\x1b]0;owned\x07 10:15";
  side.lines = "2024/01/02 10:15:00.000,1\x1b[2J,2,3,4\x07\n";
  ASSERT_EQ(save("EURUSD"), CsvSaveOutcome::Saved) << err.str();
  EXPECT_FALSE(hasControlByte(out.str(), "\b\r\n")) << out.str();
  EXPECT_NE(out.str().find("BEFORE : 2024/01/02?[?1049l?]0;owned? 10:15\n"), std::string::npos)
      << out.str();
  const std::string saved =
      testing::fileText(folder / "program" / "CSV" / "EURUSD_20240102030405.csv");
  EXPECT_NE(saved.find("2024/01/02 10:15,1\x1b[2J,2,3,4\x07"), std::string::npos);
}

TEST_F(HostileLink, HeaderLastLineAndLogShowNoControls) {
  const std::string symbol =
      "\x1b]0;owned\x07"
      "EVIL\x1b[2J";
  const std::string sendTime = "\x1b[?1049l2024\r\n";
  EXPECT_FALSE(hasControlByte(headerLine(sendTime, {symbol, "D1"}, 120)));
  EXPECT_FALSE(hasControlByte(lastLineText(sendTime, 1, symbol, 2, 5)));
  RunLog log = {{"2024/01/02 03:04:05.006", "SYMBOL      : " + symbol},
                {"2024/01/02 03:04:05.007", "[1]" + sendTime}};
  std::ostringstream screen;
  writeLogScreen(screen, log);
  EXPECT_FALSE(hasControlByte(screen.str(), "\n"));
  EXPECT_NE(screen.str().find("SYMBOL      : ?]0;owned?EVIL?[2J\n"), std::string::npos);
}

// The longest texts the link carries make no line wider than its row: the
// texts are cut, the system's own parts of each line stay, and texts that
// fit are shown whole.
TEST_F(HostileLink, TheLongestTextsKeepEveryLineWithinItsRow) {
  const std::string symbol(1023, 'S');
  const std::string sendTime = "2024/01/02 03:04:05.006" + std::string(1000, ':');
  const std::string minute(54, '9');  // the longest minute text a line may hold
  for (const size_t columns : {size_t{60}, size_t{80}, size_t{120}}) {
    SCOPED_TRACE(columns);
    const std::string header = headerLine(sendTime, {symbol, "D1"}, columns);
    EXPECT_EQ(header.size(), columns) << header;
    EXPECT_EQ(header.rfind("UPDATE >> 2024/01/02", 0), 0u) << header;
    EXPECT_EQ(header.substr(header.size() - 6), "~ (D1)") << header;
    EXPECT_NE(header.find("~    S"), std::string::npos) << header;

    const std::string last = lastLineText(minute, 1.5, minute, 2.5, 5, columns);
    EXPECT_LE(last.size(), columns) << last;
    EXPECT_EQ(last.rfind("LAST LINE : 99", 0), 0u) << last;
    EXPECT_NE(last.find("~(1.50000) => 99"), std::string::npos) << last;
    EXPECT_EQ(last.substr(last.size() - 10), "~(2.50000)") << last;
  }

  // The save's lines: the send time, and the symbol in the file's path
  // (the folder and the time stamp stay).
  const std::string folderText = (folder / "program" / "CSV").string();
  const size_t columns = folderText.size() + 40;
  options.screenColumns = columns;
  side.sendTime = sendTime;
  ASSERT_EQ(save(std::string(200, 'S')), CsvSaveOutcome::Saved) << err.str();
  std::istringstream saved(out.str());
  for (std::string line; std::getline(saved, line);) {
    EXPECT_LE(line.substr(line.rfind('\b') + 1).size(), columns) << line;
  }
  EXPECT_NE(out.str().find("BEFORE : 2024/01/02 03:04:05.006::"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("    Saved : " + (folder / "program" / "CSV" / "SSSS").string()),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("S~_20240102030405.csv\n"), std::string::npos) << out.str();

  // Where they fit, they are shown whole; one cell less cuts them.
  EXPECT_EQ(headerLine("2024/01/02 03:04:05.006", {"EURUSD", "D1"}, 48),
            "UPDATE >> 2024/01/02 03:04:05.006    EURUSD (D1)");
  EXPECT_EQ(headerLine("2024/01/02 03:04:05.006", {"EURUSD", "D1"}, 47),
            "UPDATE >> 2024/01/02 03:04:05.0~    EURUSD (D1)")
      << "the longer text gives way";
  EXPECT_EQ(lastLineText("2024/01/02 10:15", 1.5, "2024/01/03 00:00", 2.5, 5, 66),
            "LAST LINE : 2024/01/02 10:15(1.50000) => 2024/01/03 00:00(2.50000)");
  EXPECT_EQ(lastLineText("2024/01/02 10:15", 1.5, "2024/01/03 00:00", 2.5, 5, 65),
            "LAST LINE : 2024/01/02 10:~(1.50000) => 2024/01/03 00:00(2.50000)");
}

}  // namespace
}  // namespace tavelund
