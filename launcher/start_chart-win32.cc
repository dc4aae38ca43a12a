// The shell resolves the relative program name from the launcher's current
// directory, and the viewer inherits that directory.
#include <windows.h>
#include <shellapi.h>

#include <ostream>
#include <stdexcept>
#include <string>

#include "common/codepage.h"
#include "launcher/settings.h"

namespace tavelund {

bool StartChart(const LauncherSettings& settings, std::ostream& errors) {
  bool started = false;
  try {
    const std::wstring parameters = narrowToWide(BuildRunOptions(settings));
    HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, L"ConsoleTavelundPF.exe",
                                       parameters.c_str(), nullptr, SW_SHOWNORMAL);
    started = reinterpret_cast<INT_PTR>(result) > 32;
  } catch (const std::runtime_error&) {
    // A field that does not convert is a failed start, not a crashed launcher.
  }
  if (!started) errors << "Failed to start program" << std::endl;
  return started;
}

}  // namespace tavelund
