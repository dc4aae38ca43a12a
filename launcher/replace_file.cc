#include "launcher/replace_file.h"

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <system_error>

namespace tavelund {
namespace {

// A name taken again and again is someone playing games; give up then.
constexpr int kNameAttempts = 16;

std::uint64_t unpredictableNumber() {
  std::uint64_t number =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  try {
    std::random_device device;
    number ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (const std::exception&) {
    // No entropy source: the clock alone still makes the name unusual, and
    // the exclusive creation keeps it safe whatever the name.
  }
  return number;
}

std::filesystem::path newFileBeside(const std::filesystem::path& file) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::uint64_t number = unpredictableNumber();
  std::string suffix = ".new-";
  for (int digit = 0; digit < 16; ++digit, number >>= 4) suffix += kHex[number & 15];
  std::filesystem::path name = file;
  name += suffix;
  return name;
}

}  // namespace

bool replaceFile(const std::filesystem::path& file, std::string_view content) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::filesystem::path fresh = newFileBeside(file);
    switch (writeNewFile(fresh, content)) {
      case NewFileResult::NameTaken:
        continue;
      case NewFileResult::Failed:
        return false;
      case NewFileResult::Written:
        break;
    }
    std::error_code error;
    std::filesystem::rename(fresh, file, error);
    if (!error) return true;
    std::filesystem::remove(fresh, error);
    return false;
  }
  return false;
}

}  // namespace tavelund
