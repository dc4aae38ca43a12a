#pragma once
// What the launcher's menu commands and its number dialog do, apart from
// any window system: both front-ends call this and only draw the result.
#include <string>
#include <string_view>
#include <vector>

#include "launcher/settings.h"

namespace tavelund {

// Command ids of menu 109; the Windows resources use the same numbers.
enum LauncherCommand : int {
  kCommandClose = 105,
  kCommandBoxReverse = 34102,
  kCommandShowLines = 34104,
  kCommandFigureLength = 34105,
  kCommandScrollBack = 34106,
  kCommandBoxSize = 34107,
  kCommandBoxGrid = 34108,
  kCommandDataExpandOff = 34211,
  kCommandOptions = 34300,
  kCommandChart = 34400,
  kCommandSaveSettings = 34500,
};

// One numeric option as the number dialog edits it.
struct NumberField {
  int command;
  std::string LauncherSettings::*field;
  unsigned minimum;
  unsigned maximum;
  const char* label;
};

// The field of a numeric command, or nullptr for any other id.
const NumberField* numberFieldFor(int command);

// What the number dialog shows when it opens. A field that is not a plain
// unsigned decimal number (hand-edited file) shows the minimum.
struct NumberDialogStart {
  unsigned number;          // into the number box
  unsigned sliderPosition;  // the number clamped to the slider's range
};
NumberDialogStart openNumberDialog(const NumberField& field, const LauncherSettings& settings);

// The number box's text as an unsigned number; anything else, empty text
// included, reads as 0 (surrounding blanks are allowed).
unsigned readNumberBox(std::string_view text);

// OK: N <= minimum or N > maximum stores the minimum. Returns the stored text.
std::string acceptNumberDialog(const NumberField& field, std::string_view numberBoxText,
                               LauncherSettings& settings);

// The slider's position as the number box shows it.
std::string sliderToNumberBox(int position);

// One option typed as text, the box size and the box grid: checked on OK
// like the numeric ones, with the option's default stored for a text that
// the viewer would not take.
struct TextField {
  int command;
  std::string LauncherSettings::*field;
  bool (*valid)(std::string_view text);
  const char* fallback;
  const char* label;  // says what the box takes
};

// The text dialog's box holds at most this many characters.
inline constexpr int kTextBoxLimit = 32;

// The field of a text command, or nullptr for any other id.
const TextField* textFieldFor(int command);

// OK: the box's text without surrounding blanks, if valid; else the fallback.
// Returns the stored text.
std::string acceptTextDialog(const TextField& field, std::string_view boxText,
                             LauncherSettings& settings);

// What a front-end has to do after handleCommand.
struct CommandEffect {
  enum class Kind {
    NotHandled,        // not a launcher command: default handling
    Done,              // nothing to show
    OpenNumberDialog,  // numberField says which
    OpenTextDialog,    // textField says which
    ShowMessage,       // information box without owner: messageText/messageCaption
    Close,             // end the launcher (nothing is saved)
  };
  Kind kind = Kind::NotHandled;
  const NumberField* numberField = nullptr;
  const TextField* textField = nullptr;
  std::string messageText;
  std::string messageCaption;
  // Strings for the debugger trace, sent one by one before the message shows.
  std::vector<std::string> debugTrace;
};

// Carries out the platform-free part of a command: changes the settings,
// saves them, starts the viewer.
CommandEffect handleCommand(int command, LauncherSettings& settings);

}  // namespace tavelund
