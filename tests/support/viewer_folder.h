#pragma once
// Test support (Linux): a scratch folder holding a copy of the viewer and
// the link library (the viewer binds the library from its own folder and
// saves beside itself), and daily bars to feed it.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace tavelund::testing {

// "YYYY/MM/DD" (or with another separator) of bar `index`: one bar a day
// from 2000-01-03.
inline std::string barDate(int index, char separator = '/') {
  using namespace std::chrono;
  const year_month_day day{sys_days{2000y / January / 3} + days{index}};
  char text[16];
  std::snprintf(text, sizeof text, "%04d%c%02u%c%02u", static_cast<int>(day.year()), separator,
                static_cast<unsigned>(day.month()), separator, static_cast<unsigned>(day.day()));
  return text;
}

// A fresh folder "<prefix><pid>_<name>" in the temporary folder with the
// viewer and the link library of `binFolder` copied into it.
inline std::filesystem::path viewerFolder(const std::string& prefix, const std::string& name,
                                          const std::filesystem::path& binFolder) {
  namespace fs = std::filesystem;
  const fs::path folder =
      fs::temp_directory_path() / (prefix + std::to_string(::getpid()) + "_" + name);
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::copy_file(binFolder / "ConsoleTavelundPF", folder / "ConsoleTavelundPF");
  fs::copy_file(binFolder / "libtickwell.so", folder / "libtickwell.so");
  return folder;
}

// Two sine waves around `level`: the slow one of relative size `slowSize`
// and period `slowDays` (radians per day 1/slowDays), the fast one likewise.
struct Waves {
  double level = 1000;
  double slowSize = 0.04, slowDays = 7.0;
  double fastSize = 0.02, fastDays = 2.3;
};

// `count` daily bars in the feed's date,open,high,low,close form.
inline void writeWaveBars(const std::filesystem::path& file, int count, const Waves& waves = {}) {
  std::ofstream bars(file);
  bars << "date,open,high,low,close\n";
  for (int i = 0; i < count; ++i) {
    const double mid = waves.level * (1 + waves.slowSize * std::sin(i / waves.slowDays) +
                                      waves.fastSize * std::sin(i / waves.fastDays));
    bars << barDate(i, '-') << ',' << mid << ',' << mid * 1.01 << ',' << mid * 0.99 << ','
         << mid * 1.002 << '\n';
  }
}

}  // namespace tavelund::testing
