#include "launcher/commands.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace tavelund {
namespace {

constexpr NumberField kNumberFields[] = {
    {kCommandBoxReverse, &LauncherSettings::BoxReverse, 3, 5, "Box Reverse"},
    {kCommandShowLines, &LauncherSettings::ShowLines, 3, 150, "Show Lines"},
    {kCommandFigureLength, &LauncherSettings::FigureLength, 1, 7, "Figure Length"},
    {kCommandScrollBack, &LauncherSettings::ScrollBackCounts, 3, 300, "Scroll Back Lines"},
};

bool isGridScaleOrEmpty(std::string_view text) { return text.empty() || isGridScaleText(text); }

constexpr TextField kTextFields[] = {
    {kCommandBoxSize, &LauncherSettings::BoxPercent, isBoxPercentText, kDefaultBoxPercent,
     "Box Size % (0 < P <= 50)"},
    {kCommandBoxGrid, &LauncherSettings::GridScale, isGridScaleOrEmpty, kDefaultGridScale,
     "Grid: 1%, 0.0010, trad, atr14; empty: none"},
};

// Plain digits that fit an unsigned 32-bit number; no sign, no blanks.
bool parseUnsigned(std::string_view text, unsigned& value) {
  if (text.empty()) return false;
  std::uint32_t parsed = 0;
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, parsed, 10);
  if (result.ec != std::errc() || result.ptr != end) return false;
  value = parsed;
  return true;
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string hyphens() { return std::string(60, '-'); }

}  // namespace

const NumberField* numberFieldFor(int command) {
  for (const NumberField& field : kNumberFields) {
    if (field.command == command) return &field;
  }
  return nullptr;
}

NumberDialogStart openNumberDialog(const NumberField& field, const LauncherSettings& settings) {
  unsigned value = 0;
  if (!parseUnsigned(settings.*field.field, value)) value = field.minimum;
  return {value, std::clamp(value, field.minimum, field.maximum)};
}

unsigned readNumberBox(std::string_view text) {
  unsigned value = 0;
  return parseUnsigned(trimBlanks(text), value) ? value : 0;
}

std::string acceptNumberDialog(const NumberField& field, std::string_view numberBoxText,
                               LauncherSettings& settings) {
  unsigned number = readNumberBox(numberBoxText);
  if (number <= field.minimum || number > field.maximum) number = field.minimum;
  settings.*field.field = std::to_string(number);
  return settings.*field.field;
}

std::string sliderToNumberBox(int position) { return std::to_string(position); }

const TextField* textFieldFor(int command) {
  for (const TextField& field : kTextFields) {
    if (field.command == command) return &field;
  }
  return nullptr;
}

std::string acceptTextDialog(const TextField& field, std::string_view boxText,
                             LauncherSettings& settings) {
  const std::string_view text = trimBlanks(boxText);
  settings.*field.field = field.valid(text) ? std::string(text) : std::string(field.fallback);
  return settings.*field.field;
}

CommandEffect handleCommand(int command, LauncherSettings& settings) {
  CommandEffect effect;
  if (const NumberField* field = numberFieldFor(command)) {
    effect.kind = CommandEffect::Kind::OpenNumberDialog;
    effect.numberField = field;
    return effect;
  }
  if (const TextField* field = textFieldFor(command)) {
    effect.kind = CommandEffect::Kind::OpenTextDialog;
    effect.textField = field;
    return effect;
  }
  switch (command) {
    case kCommandClose:
      effect.kind = CommandEffect::Kind::Close;
      break;
    case kCommandDataExpandOff:
      settings.DataExpand = "FALSE";
      effect.kind = CommandEffect::Kind::ShowMessage;
      effect.messageText = "DATA EXPAND OFF";
      effect.messageCaption = "DATA EXPAND";
      break;
    case kCommandOptions: {
      std::string options = BuildRunOptions(settings);
      effect.kind = CommandEffect::Kind::ShowMessage;
      effect.debugTrace = {hyphens() + "\n", options, "\n" + hyphens() + "\n"};
      effect.messageText = std::move(options);
      effect.messageCaption = "RUN OPTIONS";
      break;
    }
    case kCommandSaveSettings:
      SaveSettings(settings);
      effect.kind = CommandEffect::Kind::Done;
      break;
    case kCommandChart:
      StartChart(settings);
      effect.kind = CommandEffect::Kind::Done;
      break;
    default:
      break;
  }
  return effect;
}

}  // namespace tavelund
