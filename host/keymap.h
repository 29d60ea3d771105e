// Key maps: what each keypad position types, read from a small text file.
//
//   # comments start with #
//   [keys]
//   r0c0 = backspace   # a position by row and column
//   .    = dot         # or by its legend in the built-in table
//   N    = ctrl+z
//   r3c5 = none        # types nothing
//
// A position the map does not name types what the built-in table gives its
// legend (host/key_map.h), exactly as without a map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/key_names.h"

// The keypad as a map sees it, handed in by the keypad's layer: the size of
// the matrix and the built-in table's legend at each position,
// legends[row * columns + column + 1] (legends[0] is not used).
struct KeypadLayout {
  int rows;
  int columns;
  const char* legends;
};

// What one position types.
struct KeyBinding {
  enum Kind : uint8_t { kBuiltIn, kNone, kChord };
  Kind kind = kBuiltIn;
  KeyChord chord = {};  // for kChord
};

// A map, indexed by position. Positions past the end of `keys` are built
// in, so the empty map is the built-in table.
struct Keymap {
  std::vector<KeyBinding> keys;
};

// The largest map file that is read.
constexpr size_t kKeymapFileLimit = 64 * 1024;

// --- Reading a map ----------------------------------------------------------

// Reads "[modifier+]...key" ("ctrl+z", "shift + f1"). Returns "" with
// `chord` set, or what is wrong ("unknown key 'foo'").
std::string ParseKeyChord(std::string_view text, KeyChord& chord);

// Parses a map file's text (`file` names it in messages). Every fault goes
// to `errors` as "FILE:LINE: what is wrong", all of a file's faults, not
// only the first; `map` takes what the good lines say. Returns true when
// there was no fault.
bool ParseKeymap(std::string_view text, const std::string& file,
                 const KeypadLayout& layout, Keymap& map,
                 std::vector<std::string>& errors);

// A map as read from its file.
struct KeymapLoad {
  Keymap map;                       // the built-in table when not good
  std::string file;                 // where it came from; "" for no file
  std::vector<std::string> errors;  // empty when the map is good
};

// Reads an environment variable; nullptr when it is unset.
using EnvironmentLookup = std::function<const char*(const char*)>;
// The process's own environment (getenv).
const char* ProcessEnvironment(const char* name);

// Platform: where a map is looked for when none is named, in order. Linux:
// $XDG_CONFIG_HOME/zolmek/keymap.conf ($HOME/.config/... when that is
// unset), then /etc/zolmek/keymap.conf. Windows: %APPDATA%\zolmek\keymap.conf.
std::vector<std::string> DefaultKeymapPaths(const EnvironmentLookup& env);

// The map to run with: `file` when one is named, else the first file of
// `search` that exists; when none exists, the built-in table and no fault.
// A file that is there but cannot be read is a fault, with the reason
// ("FILE: Permission denied").
KeymapLoad LoadKeymap(const char* file, const KeypadLayout& layout,
                      const std::vector<std::string>& search =
                          DefaultKeymapPaths(ProcessEnvironment));

enum class KeymapFileRead { kRead, kMissing, kFailed };
// Platform: reads at most kKeymapFileLimit + 1 bytes of a regular file into
// `text`, without blocking on a FIFO or a device. kMissing when there is no
// such file; kFailed with `reason` for anything else that stops the read.
KeymapFileRead ReadKeymapFile(const char* path, std::string& text,
                              std::string& reason);

// --- Showing a map ----------------------------------------------------------

// "r2c3": row 2, column 3.
std::string PositionName(int position, int columns);
// What the map gives a position, from the built-in table where it is built
// in (`legend` is its character there): "5", "ctrl+z", "none".
const KeyBinding& BindingAt(const Keymap& map, int position);
std::string KeyNameAt(const Keymap& map, int position, char legend);
// One line per position, a blank line between rows, in 80 columns:
//   r2c3 (5)  5
//   r3c1 (N)  ctrl+z
std::string RenderKeymap(const Keymap& map, const KeypadLayout& layout);

// --- The map in use ---------------------------------------------------------
// The main thread's alone: the scan reads it, and a reload asked for from
// elsewhere is applied by the main thread between passes. No lock.

const Keymap& ActiveKeymap();
void UseKeymap(Keymap map);
// Reads the map again as LoadKeymap does. A good map replaces the one in
// use; a bad one leaves it and its faults are in `errors`.
bool ReloadKeymap(const char* file, const KeypadLayout& layout,
                  std::vector<std::string>& errors);
// Whether the map in use has two positions type alike (both built in, both
// none, or the same chord); what the built-in table gives them is their
// legends' business.
bool SameKeyAt(int position, int other_position);
// Types what the map in use gives the position. Built in: SendKeyForChar
// with `legend`, the built-in table's character there.
void TypeKeyAt(int position, char legend);
