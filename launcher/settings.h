#pragma once
// The launcher's chart options, the "DefaultSetting" file that keeps them and
// the run-options text handed to the viewer.
#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>

namespace tavelund {

// The box size's default, 1 %, and the grid's, none.
inline constexpr const char* kDefaultBoxPercent = "1";
inline constexpr const char* kDefaultGridScale = "";

// Texts exactly as the viewer will see them on its command line. They are
// not validated when set; the dialogs keep them in range, and the file
// reader takes only valid box and grid texts.
struct LauncherSettings {
  std::string BoxReverse = "3";
  std::string DataExpand = "FALSE";
  std::string ShowLines = "20";
  std::string FigureLength = "3";
  std::string ScrollBackCounts = "30";
  // The box of the original construction in percent (-p), 0 < P <= 50.
  std::string BoxPercent = kDefaultBoxPercent;
  // The one price grid of the chart (-g SCALE); empty draws no grid.
  std::string GridScale = kDefaultGridScale;

  bool operator==(const LauncherSettings&) const = default;
};

// The launcher's one record; defaults until LoadSettings has run.
LauncherSettings& launcherSettings();

// Relative on purpose: the file lives in the launcher's working directory.
inline constexpr const char* kSettingsFileName = "DefaultSetting";

// A settings file is a few hundred bytes; a bigger one is not read.
inline constexpr std::size_t kSettingsFileLimit = 1 << 20;

// A plain decimal percent the viewer reads as it stands ("0.25", "2", ".5"):
// digits with at most one point, above 0 and at most 50.
bool isBoxPercentText(std::string_view text);

// A SCALE that the viewer's -g accepts (1%, 0.0010, trad, atr14, ...).
bool isGridScaleText(std::string_view text);

// Outside callers know this name: keep it, though it breaks our lower camel case.
// Reads the file and takes every well-formed field from it. A missing or
// unreadable file, broken Base64 or JSON, or a root that is not an object
// leave the record as it was; so does a member that is not a string, or one
// that is empty or holds white space or a zero byte (the viewer would get its
// arguments split wrongly), a box percent or grid scale the viewer would not
// take, and a file bigger than kSettingsFileLimit.
void LoadSettings(LauncherSettings& settings,
                  const std::filesystem::path& file = kSettingsFileName);

// Writes the record as one line of Base64 (no line end) of compact JSON. The
// box percent and the grid scale are written only when they differ from their
// defaults, so a file with the defaults is the one older launchers write. The
// file is replaced in one step (writeWholeFile), so a failed write never leaves
// a cut file behind. Failures are silent: returns false.
bool SaveSettings(const LauncherSettings& settings,
                  const std::filesystem::path& file = kSettingsFileName);

// "-b B [-e ]-s S -f F -r R [-p P ][-g SCALE ]" with one trailing blank;
// "-e " only for the exact text "TRUE", "-p " only for a box percent whose
// value is not 1, "-g " only for a grid scale that is not empty.
std::string BuildRunOptions(const LauncherSettings& settings);

// Outside callers know this name: keep it, though it breaks our lower camel case.
// Starts the viewer with the run options in a window of its own, without
// waiting for it. A start that fails writes "Failed to start program" and a
// line end to `errors` and returns false.
bool StartChart(const LauncherSettings& settings);
bool StartChart(const LauncherSettings& settings, std::ostream& errors);

// The file's text, both ways; exposed for tests and the fuzz target.
std::string encodeSettingsText(const LauncherSettings& settings);
void decodeSettingsText(std::string_view fileText, LauncherSettings& settings);

}  // namespace tavelund
