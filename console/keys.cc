#include "console/keys.h"

#include <array>

#include "console/commands.h"

namespace tavelund {
namespace {

constexpr std::array<KeyCommand, 16> kKeyboardCommands = {{
    {vk::kA, command::kLiveToggle, true},
    {vk::kP, command::kAnalysis},
    {vk::kT, command::kTrendLine, true},
    {vk::kB, command::kBellToggle, true},
    {vk::kS, command::kSave},
    {vk::kH, command::kHelp},
    {vk::kU, command::kRefresh},
    {vk::kL, command::kLog},
    {vk::kHome, command::kNewest},
    {vk::kLeft, command::kLinePastLeft},
    {vk::kRight, command::kLineFutureRight},
    {vk::kUp, command::kLineFutureUp},
    {vk::kDown, command::kLinePastDown},
    {vk::kEnd, command::kOldest},
    {vk::kPageUp, command::kPageFuture},
    {vk::kPageDown, command::kPagePast},
}};

constexpr char kEscape = '\x1b';
constexpr size_t kLongestSequence = 16;

int letterKey(char byte) {
  if (byte >= 'a' && byte <= 'z') byte = static_cast<char>(byte - 'a' + 'A');
  if (byte >= 'A' && byte <= 'Z') return byte;  // letters' codes are their capitals
  return -1;
}

// Key of a final byte of CSI/SS3 without parameters: ESC [ A, ESC O H, ...
int finalKey(char final) {
  switch (final) {
    case 'A':
      return vk::kUp;
    case 'B':
      return vk::kDown;
    case 'C':
      return vk::kRight;
    case 'D':
      return vk::kLeft;
    case 'H':
      return vk::kHome;
    case 'F':
      return vk::kEnd;
    default:
      return -1;
  }
}

// Key of ESC [ n ~.
int tildeKey(int number) {
  switch (number) {
    case 1:
    case 7:
      return vk::kHome;
    case 4:
    case 8:
      return vk::kEnd;
    case 5:
      return vk::kPageUp;
    case 6:
      return vk::kPageDown;
    default:
      return -1;
  }
}

void press(KeySet& down, int key) {
  if (key >= 0 && key < static_cast<int>(down.size())) down.set(static_cast<size_t>(key));
}

enum class Parse { Done, Incomplete };

// Parses one escape sequence at the start of `text` (which starts with ESC).
// On Done, `used` is the number of bytes consumed.
Parse parseEscape(std::string_view text, size_t& used, KeySet& down) {
  if (text.size() < 2) return Parse::Incomplete;
  const char kind = text[1];
  if (kind == 'O') {
    if (text.size() < 3) return Parse::Incomplete;
    press(down, finalKey(text[2]));
    used = 3;
    return Parse::Done;
  }
  if (kind != '[') {
    used = 1;  // a lone Escape key (or Alt with a key): the Escape itself means nothing
    return Parse::Done;
  }
  // CSI: parameter bytes, then one final byte.
  size_t at = 2;
  int firstNumber = 0;
  bool inFirst = true;
  while (at < text.size()) {
    const char byte = text[at];
    if (byte >= '0' && byte <= '9') {
      if (inFirst && firstNumber < 1000) firstNumber = firstNumber * 10 + (byte - '0');
    } else if (byte == ';') {
      inFirst = false;
    } else if (byte >= 0x40 && byte <= 0x7e) {
      press(down, byte == '~' ? tildeKey(firstNumber) : finalKey(byte));
      used = at + 1;
      return Parse::Done;
    } else if (byte < 0x20 || byte > 0x3f) {
      used = at;  // not a sequence after all: drop what was read so far
      return Parse::Done;
    }
    ++at;
  }
  return Parse::Incomplete;
}

}  // namespace

std::span<const KeyCommand> keyboardCommands() { return kKeyboardCommands; }

bool storesCommand(const KeyCommand& entry, const KeySet& down, const KeySet& downBefore) {
  const auto key = static_cast<size_t>(entry.key);
  return down.test(key) && !(entry.oncePerPress && downBefore.test(key));
}

char keyboardCommand(const KeySet& down, const KeySet& downBefore) {
  char stored = 0;
  for (const KeyCommand& entry : kKeyboardCommands) {
    if (storesCommand(entry, down, downBefore)) stored = entry.command;
  }
  return stored;
}

void KeyDecoder::feed(std::string_view bytes, KeySet& down) {
  if (bytes.empty()) {
    // Nothing followed the start of a sequence for a whole pass: it was a
    // lone Escape key, or the rest was lost.
    pending_.clear();
    return;
  }
  pending_.append(bytes);
  std::string_view text = pending_;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] != kEscape) {
      press(down, letterKey(text[at]));
      ++at;
      continue;
    }
    size_t used = 0;
    if (parseEscape(text.substr(at), used, down) == Parse::Incomplete) {
      if (text.size() - at > kLongestSequence) {
        at = text.size();  // garbage, not a key
      }
      break;
    }
    at += used;
  }
  pending_.erase(0, at);
}

}  // namespace tavelund
