// The keys a key map can name, one list for every platform. A name is the
// Linux input name without KEY_, in lower case (linux/input-event-codes.h,
// which the Windows build does not have, hence the numbers); beside it the
// Windows virtual-key code of the same key, and whether Windows needs
// KEYEVENTF_EXTENDEDKEY for it. A PC keyboard sends those keys with an E0
// prefix, and without the flag Windows takes them for their twins: the
// arrows, Insert, Delete, Home, End, PageUp and PageDown for the numeric
// pad's keys (with NumLock off), the pad's Enter for Return, its slash for
// the main slash, the right Ctrl and Alt for the left ones. The Windows and
// menu keys, Print and the media keys are E0 keys too, and Windows tells
// NumLock from Pause, which shares its scan code, by the flag.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

struct KeyName {
  const char* name;
  uint16_t evdev_key;
  uint8_t virtual_key;
  bool extended;
};

// clang-format off
inline constexpr KeyName kKeyNames[] = {
    {"a", 30, 0x41, false}, {"b", 48, 0x42, false}, {"c", 46, 0x43, false},
    {"d", 32, 0x44, false}, {"e", 18, 0x45, false}, {"f", 33, 0x46, false},
    {"g", 34, 0x47, false}, {"h", 35, 0x48, false}, {"i", 23, 0x49, false},
    {"j", 36, 0x4A, false}, {"k", 37, 0x4B, false}, {"l", 38, 0x4C, false},
    {"m", 50, 0x4D, false}, {"n", 49, 0x4E, false}, {"o", 24, 0x4F, false},
    {"p", 25, 0x50, false}, {"q", 16, 0x51, false}, {"r", 19, 0x52, false},
    {"s", 31, 0x53, false}, {"t", 20, 0x54, false}, {"u", 22, 0x55, false},
    {"v", 47, 0x56, false}, {"w", 17, 0x57, false}, {"x", 45, 0x58, false},
    {"y", 21, 0x59, false}, {"z", 44, 0x5A, false},
    // The main keyboard's digits: VK_0 to VK_9 are the characters' codes.
    {"1", 2, 0x31, false}, {"2", 3, 0x32, false}, {"3", 4, 0x33, false},
    {"4", 5, 0x34, false}, {"5", 6, 0x35, false}, {"6", 7, 0x36, false},
    {"7", 8, 0x37, false}, {"8", 9, 0x38, false}, {"9", 10, 0x39, false},
    {"0", 11, 0x30, false},
    // VK_F1 to VK_F24.
    {"f1", 59, 0x70, false},  {"f2", 60, 0x71, false},
    {"f3", 61, 0x72, false},  {"f4", 62, 0x73, false},
    {"f5", 63, 0x74, false},  {"f6", 64, 0x75, false},
    {"f7", 65, 0x76, false},  {"f8", 66, 0x77, false},
    {"f9", 67, 0x78, false},  {"f10", 68, 0x79, false},
    {"f11", 87, 0x7A, false}, {"f12", 88, 0x7B, false},
    {"f13", 183, 0x7C, false}, {"f14", 184, 0x7D, false},
    {"f15", 185, 0x7E, false}, {"f16", 186, 0x7F, false},
    {"f17", 187, 0x80, false}, {"f18", 188, 0x81, false},
    {"f19", 189, 0x82, false}, {"f20", 190, 0x83, false},
    {"f21", 191, 0x84, false}, {"f22", 192, 0x85, false},
    {"f23", 193, 0x86, false}, {"f24", 194, 0x87, false},
    {"esc", 1, 0x1B, false},        // VK_ESCAPE
    {"backspace", 14, 0x08, false}, // VK_BACK
    {"tab", 15, 0x09, false},       // VK_TAB
    {"enter", 28, 0x0D, false},     // VK_RETURN
    {"space", 57, 0x20, false},     // VK_SPACE
    {"capslock", 58, 0x14, false},  // VK_CAPITAL
    {"numlock", 69, 0x90, true},    // VK_NUMLOCK
    {"scrolllock", 70, 0x91, false}, // VK_SCROLL
    {"sysrq", 99, 0x2C, true},      // VK_SNAPSHOT, Print
    {"pause", 119, 0x13, false},    // VK_PAUSE
    {"compose", 127, 0x5D, true},   // VK_APPS, the menu key
    // Punctuation of the US layout; other layouts put other characters here.
    {"minus", 12, 0xBD, false},      // VK_OEM_MINUS
    {"equal", 13, 0xBB, false},      // VK_OEM_PLUS
    {"leftbrace", 26, 0xDB, false},  // VK_OEM_4
    {"rightbrace", 27, 0xDD, false}, // VK_OEM_6
    {"semicolon", 39, 0xBA, false},  // VK_OEM_1
    {"apostrophe", 40, 0xDE, false}, // VK_OEM_7
    {"grave", 41, 0xC0, false},      // VK_OEM_3
    {"backslash", 43, 0xDC, false},  // VK_OEM_5
    {"comma", 51, 0xBC, false},      // VK_OEM_COMMA
    {"dot", 52, 0xBE, false},        // VK_OEM_PERIOD
    {"slash", 53, 0xBF, false},      // VK_OEM_2
    {"102nd", 86, 0xE2, false},      // VK_OEM_102, beside the left Shift
    // Between the main block and the numeric pad.
    {"insert", 110, 0x2D, true},   // VK_INSERT
    {"delete", 111, 0x2E, true},   // VK_DELETE
    {"home", 102, 0x24, true},     // VK_HOME
    {"end", 107, 0x23, true},      // VK_END
    {"pageup", 104, 0x21, true},   // VK_PRIOR
    {"pagedown", 109, 0x22, true}, // VK_NEXT
    {"up", 103, 0x26, true},       // VK_UP
    {"down", 108, 0x28, true},     // VK_DOWN
    {"left", 105, 0x25, true},     // VK_LEFT
    {"right", 106, 0x27, true},    // VK_RIGHT
    // The numeric pad: VK_NUMPAD0 to VK_NUMPAD9, then its own keys.
    {"kp0", 82, 0x60, false}, {"kp1", 79, 0x61, false},
    {"kp2", 80, 0x62, false}, {"kp3", 81, 0x63, false},
    {"kp4", 75, 0x64, false}, {"kp5", 76, 0x65, false},
    {"kp6", 77, 0x66, false}, {"kp7", 71, 0x67, false},
    {"kp8", 72, 0x68, false}, {"kp9", 73, 0x69, false},
    {"kpdot", 83, 0x6E, false},      // VK_DECIMAL
    {"kpplus", 78, 0x6B, false},     // VK_ADD
    {"kpminus", 74, 0x6D, false},    // VK_SUBTRACT
    {"kpasterisk", 55, 0x6A, false}, // VK_MULTIPLY
    {"kpslash", 98, 0x6F, true},     // VK_DIVIDE
    {"kpenter", 96, 0x0D, true},     // VK_RETURN
    // Modifiers, also what ctrl+, shift+, alt+ and meta+ press.
    {"leftctrl", 29, 0xA2, false},  // VK_LCONTROL
    {"leftshift", 42, 0xA0, false}, // VK_LSHIFT
    {"leftalt", 56, 0xA4, false},   // VK_LMENU
    {"leftmeta", 125, 0x5B, true},  // VK_LWIN
    {"rightctrl", 97, 0xA3, true},  // VK_RCONTROL
    {"rightshift", 54, 0xA1, false}, // VK_RSHIFT
    {"rightalt", 100, 0xA5, true},  // VK_RMENU
    {"rightmeta", 126, 0x5C, true}, // VK_RWIN
    // Media keys.
    {"mute", 113, 0xAD, true},         // VK_VOLUME_MUTE
    {"volumedown", 114, 0xAE, true},   // VK_VOLUME_DOWN
    {"volumeup", 115, 0xAF, true},     // VK_VOLUME_UP
    {"nextsong", 163, 0xB0, true},     // VK_MEDIA_NEXT_TRACK
    {"previoussong", 165, 0xB1, true}, // VK_MEDIA_PREV_TRACK
    {"stopcd", 166, 0xB2, true},       // VK_MEDIA_STOP
    {"playpause", 164, 0xB3, true},    // VK_MEDIA_PLAY_PAUSE
};
// clang-format on

// The key with this name (exact: names are lower case); nullptr for none.
constexpr const KeyName* FindKeyName(std::string_view name) {
  for (const KeyName& key : kKeyNames) {
    if (name == key.name) return &key;
  }
  return nullptr;
}

// The key with this name, for tables fixed at build time: an unknown name
// does not compile.
consteval const KeyName& KeyNamed(std::string_view name) {
  return *FindKeyName(name);
}

// --- Keys with modifiers ----------------------------------------------------

// Modifier bits of a KeyChord, in the order they go down.
enum KeyModifier : uint8_t {
  kModifierCtrl = 1,
  kModifierShift = 2,
  kModifierAlt = 4,
  kModifierMeta = 8,
};

struct ModifierName {
  const char* name;  // as a map writes it before "+"
  KeyModifier bit;
  const KeyName& key;  // the key it holds down: the left-hand one
};
inline constexpr ModifierName kModifierNames[] = {
    {"ctrl", kModifierCtrl, KeyNamed("leftctrl")},
    {"shift", kModifierShift, KeyNamed("leftshift")},
    {"alt", kModifierAlt, KeyNamed("leftalt")},
    {"meta", kModifierMeta, KeyNamed("leftmeta")},
};

// One key, typed with its modifiers held.
struct KeyChord {
  const KeyName* key;
  uint8_t modifiers;  // KeyModifier bits
};

// One event of a chord: a key going down or up.
struct KeyStep {
  const KeyName* key;
  bool down;
};
constexpr int kMaxChordSteps = 2 * (1 + std::size(kModifierNames));

// The events that type `chord`, in order: the modifiers down (ctrl, shift,
// alt, meta), the key down and up, the modifiers up in reverse. Returns how
// many it wrote to `steps`.
int ChordSteps(const KeyChord& chord, KeyStep steps[kMaxChordSteps]);

// The map's text for a chord: "ctrl+shift+z", modifiers in that order.
std::string KeyChordText(const KeyChord& chord);
