#pragma once
// Keys as the input thread sees them on each pass: the set of keys that are
// down, by their Windows virtual-key codes, and the keyboard command table.
#include <bitset>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tavelund {

namespace vk {
inline constexpr int kPageUp = 0x21;
inline constexpr int kPageDown = 0x22;
inline constexpr int kEnd = 0x23;
inline constexpr int kHome = 0x24;
inline constexpr int kLeft = 0x25;
inline constexpr int kUp = 0x26;
inline constexpr int kRight = 0x27;
inline constexpr int kDown = 0x28;
inline constexpr int kA = 0x41;
inline constexpr int kB = 0x42;
inline constexpr int kH = 0x48;
inline constexpr int kL = 0x4C;
inline constexpr int kP = 0x50;
inline constexpr int kQ = 0x51;
inline constexpr int kS = 0x53;
inline constexpr int kT = 0x54;
inline constexpr int kU = 0x55;
}  // namespace vk

using KeySet = std::bitset<256>;

struct KeyCommand {
  int key;
  char command;
  // Stored once per press: a key that was down on the pass before counts
  // as held and stores nothing. For switches, which a held key would flip
  // back and forth.
  bool oncePerPress = false;
};

// The keys tested on each pass, in the order they are tested (so with
// several keys down the last one wins). Keys beyond the original twelve
// come first, so that any of those twelve beats them in the same pass.
std::span<const KeyCommand> keyboardCommands();

// Whether `entry` stores its command on a pass where `down` are down and
// `downBefore` were down on the pass before.
bool storesCommand(const KeyCommand& entry, const KeySet& down, const KeySet& downBefore);

// The command the keys of one pass store last, or 0 when none does.
char keyboardCommand(const KeySet& down, const KeySet& downBefore = {});

// Turns the bytes a terminal sends into keys: letters (either case), and the
// escape sequences of the arrows, Home, End, Page Up and Page Down (CSI and
// SS3 forms, xterm and VT/rxvt numbering). A sequence cut between two reads
// is completed by the next read; one that stays incomplete is dropped.
class KeyDecoder {
 public:
  void feed(std::string_view bytes, KeySet& down);

 private:
  std::string pending_;
};

}  // namespace tavelund
