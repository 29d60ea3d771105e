#include <cstdio>
#include <cstring>

#include "base/quit.h"
#include "host/host_output.h"
#include "host/keymap.h"
#include "keypad/keypad.h"

int FindKeyPosition(const uint8_t columns[kKeypadRows]) {
  int position = 0;
  for (int row = 0; row < kKeypadRows; ++row) {
    for (int column = 0; column < kKeypadColumns; ++column) {
      if ((columns[row] & (1u << column)) == 0) {
        position = KeyPosition(row, column);
      }
    }
  }
  return position;
}

char DecideKeyAnnouncement(const uint8_t rows[kKeypadRows],
                           const bool answered[kKeypadRows], KeypadState& state,
                           SameKeyRule same_key) {
  const int before = FindKeyPosition(state.columns);
  for (int row = 0; row < kKeypadRows; ++row) {
    if (answered[row]) state.columns[row] = rows[row];
  }
  // A change of character, not of position: sliding between two space
  // positions is no new key, unless a key map has them type different keys.
  const int position = FindKeyPosition(state.columns);
  const char character = KeyTable[position];
  const bool news =
      character != state.last || (same_key != nullptr && position != before &&
                                  !same_key(position, before));
  state.last = character;
  return news ? character : 0;
}

// Reads all four rows. False when the pass was cut short by a quit request:
// its column bytes are then incomplete and must not be announced.
static bool ReadKeypadMatrix(uint8_t rows[kKeypadRows],
                             bool answered[kKeypadRows]) {
  for (int row = 0; row < kKeypadRows; ++row) {
    uint8_t port_a = 0;
    answered[row] = ReadKeypadRow(kRowPatterns[row], port_a, rows[row]);
    if (QuitRequestedWithoutConsole()) return false;
  }
  return true;
}

// Tells `changed` of every switch whose bit differs between two passes'
// column bytes.
static void ReportSwitchChanges(const uint8_t before[kKeypadRows],
                                const uint8_t after[kKeypadRows],
                                void (*changed)(int position, bool closed)) {
  for (int row = 0; row < kKeypadRows; ++row) {
    const uint8_t flipped = (before[row] ^ after[row]) & kColumnBits;
    for (int column = 0; column < kKeypadColumns; ++column) {
      if ((flipped & (1u << column)) == 0) continue;
      changed(KeyPosition(row, column), (after[row] & (1u << column)) == 0);
    }
  }
}

void ScanKeypadWith(const ScanActions& actions) {
  KeypadState state = kNoKeyDown;
  for (;;) {
    if (actions.between_passes != nullptr) actions.between_passes();
    // The console once per pass, before the rows.
    if (QuitRequestedLookingAtConsole()) return;
    uint8_t rows[kKeypadRows];
    bool answered[kKeypadRows];
    if (!ReadKeypadMatrix(rows, answered)) return;
    uint8_t before[kKeypadRows];
    std::memcpy(before, state.columns, sizeof before);
    const char character =
        DecideKeyAnnouncement(rows, answered, state, SameKeyAt);
    if (actions.switch_changed != nullptr) {
      ReportSwitchChanges(before, state.columns, actions.switch_changed);
    }
    if (character != 0 && actions.new_key != nullptr) {
      actions.new_key(FindKeyPosition(state.columns));
    }
  }
}

static void AnnounceKey(int position) {
  std::printf("press (%c)\n", KeyTable[position]);
  std::fflush(stdout);
  TypeKeyAt(position, KeyTable[position]);
  PlayKeySound();
}

void ScanKeypad() { ScanKeypadWith({AnnounceKey, nullptr, nullptr}); }
