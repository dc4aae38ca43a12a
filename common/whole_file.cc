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

bool isSet(const std::atomic<bool>* flag) { return flag != nullptr && flag->load(); }

// Whether a file name may be cut before the unit at `at`: not inside a
// UTF-8 sequence (Linux) nor between the two halves of a UTF-16 surrogate
// pair (Windows).
template <typename Unit>
bool startsACharacter(Unit unit) {
  if constexpr (sizeof(Unit) == 1) {
    return (static_cast<unsigned char>(unit) & 0xc0) != 0x80;
  } else {
    return !(unit >= 0xdc00 && unit <= 0xdfff);
  }
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
  std::filesystem::path::string_type base = target.filename().native();
  if (base.size() + suffix.size() <= kLongestFileName || suffix.size() >= kLongestFileName) {
    std::filesystem::path name = target;
    name += suffix;
    return name;
  }
  size_t keep = kLongestFileName - suffix.size();
  while (keep > 0 && !startsACharacter(base[keep])) --keep;
  base.resize(keep);
  return target.parent_path() / (base + suffix);
}

bool writeWholeFile(const std::filesystem::path& target, std::string_view content,
                    const TemporaryNameForm& form, const std::atomic<bool>* abandon) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (isSet(abandon)) return false;
    const std::filesystem::path fresh = temporaryNameBeside(target, form);
    switch (writeNewFile(fresh, content, abandon)) {
      case NewFileResult::NameTaken:
        continue;
      case NewFileResult::Failed:
        return false;
      case NewFileResult::Written:
        if (!isSet(abandon) && renameOver(fresh, target)) return true;
        std::error_code ignored;
        std::filesystem::remove(fresh, ignored);
        return false;
    }
  }
  return false;
}

}  // namespace tavelund
