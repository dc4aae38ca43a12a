#include "common/whole_file.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <limits>
#include <random>
#include <system_error>

namespace tavelund {
namespace {

// A name that is taken is tried again under another; a planted file cannot
// make the write fail unless it guesses every name, and a name taken again
// and again is someone playing games: give up then.
constexpr int kNameAttempts = 16;

std::uint64_t unpredictableNumber() {
  std::uint64_t number =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  try {
    std::random_device device;
    number ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (const std::exception&) {
    // No entropy source: the clock alone still makes the name unusual, and
    // the exclusive creation keeps the write safe whatever the name.
  }
  return number;
}

}  // namespace

std::filesystem::path temporaryNameBeside(const std::filesystem::path& target,
                                          const TemporaryNameForm& form) {
  std::filesystem::path::string_type suffix;
  for (char c : form.before) suffix += static_cast<std::filesystem::path::value_type>(c);
  const std::uint64_t choices = form.characters.size();
  // `number` is read as digits in base `choices`; `largest` is the largest
  // value its digits left can still make. A new number is drawn when that
  // would no longer reach every character.
  std::uint64_t number = 0;
  std::uint64_t largest = 0;
  for (int i = 0; i < form.length && choices > 0; ++i) {
    if (largest < choices - 1) {
      number = unpredictableNumber();
      largest = std::numeric_limits<std::uint64_t>::max();
    }
    suffix += static_cast<std::filesystem::path::value_type>(form.characters[number % choices]);
    number /= choices;
    largest /= choices;
  }
  for (char c : form.after) suffix += static_cast<std::filesystem::path::value_type>(c);
  std::filesystem::path name = target;
  name += suffix;
  return name;
}

bool writeWholeFile(const std::filesystem::path& target, std::string_view content,
                    const TemporaryNameForm& form) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::filesystem::path fresh = temporaryNameBeside(target, form);
    switch (writeNewFile(fresh, content)) {
      case NewFileResult::NameTaken:
        continue;
      case NewFileResult::Failed:
        return false;
      case NewFileResult::Written:
        if (renameOver(fresh, target)) return true;
        std::error_code ignored;
        std::filesystem::remove(fresh, ignored);
        return false;
    }
  }
  return false;
}

}  // namespace tavelund
