#include "common/whole_file.h"

#include <chrono>
#include <random>
#include <string_view>
#include <system_error>

namespace tavelund {
namespace {

// A name that is taken is tried again under another; a planted file cannot
// make the write fail unless it guesses every name.
constexpr int kNameAttempts = 16;

std::mt19937_64& nameRandom() {
  thread_local std::mt19937_64 random = [] {
    std::seed_seq seed{static_cast<unsigned long long>(
                           std::chrono::steady_clock::now().time_since_epoch().count()),
                       static_cast<unsigned long long>(std::random_device{}())};
    return std::mt19937_64(seed);
  }();
  return random;
}

}  // namespace

std::filesystem::path temporaryNameBeside(const std::filesystem::path& target) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  std::filesystem::path::string_type suffix;
  suffix += '.';
  for (int i = 0; i < 8; ++i) suffix += static_cast<char>(kLetters[pick(nameRandom())]);
  for (char c : std::string_view(".part")) suffix += c;
  std::filesystem::path name = target;
  name += suffix;
  return name;
}

bool writeWholeFile(const std::filesystem::path& target, std::string_view content) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::filesystem::path partial = temporaryNameBeside(target);
    switch (writeExclusively(partial, content)) {
      case ExclusiveWrite::NameTaken:
        continue;
      case ExclusiveWrite::Failed:
        return false;
      case ExclusiveWrite::Written:
        if (renameOver(partial, target)) return true;
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        return false;
    }
  }
  return false;
}

}  // namespace tavelund
