// Any file content must leave LoadSettings with a record whose fields are
// either unchanged or usable texts (box options the viewer takes), and never
// crash or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "launcher/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tavelund::LauncherSettings settings;
  tavelund::decodeSettingsText(text, settings);
  for (const std::string* field : {&settings.BoxReverse, &settings.DataExpand, &settings.ShowLines,
                                   &settings.FigureLength, &settings.ScrollBackCounts}) {
    if (field->empty() ||
        field->find_first_of(std::string_view(" \t\n\v\f\r\0", 7)) != std::string::npos) {
      std::abort();
    }
  }
  // The box options load only as the viewer takes them.
  if (!tavelund::isBoxPercentText(settings.BoxPercent)) std::abort();
  if (!settings.GridScale.empty() && !tavelund::isGridScaleText(settings.GridScale)) std::abort();
  // What was loaded must survive a save and a load unchanged.
  tavelund::LauncherSettings again;
  tavelund::decodeSettingsText(tavelund::encodeSettingsText(settings), again);
  if (!(again == settings)) std::abort();
  return 0;
}
