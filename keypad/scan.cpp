#include <cstdio>

#include "base/quit.h"
#include "host/host_output.h"
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
                           const bool answered[kKeypadRows],
                           KeypadState& state) {
  for (int row = 0; row < kKeypadRows; ++row) {
    if (answered[row]) state.columns[row] = rows[row];
  }
  // A change of character, not of position: sliding between two space
  // positions is no new key.
  const char character = KeyTable[FindKeyPosition(state.columns)];
  const char announced = character != state.last ? character : 0;
  state.last = character;
  return announced;
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

void ScanKeypad() {
  KeypadState state = kNoKeyDown;
  for (;;) {
    // The console once per pass, before the rows.
    if (QuitRequestedLookingAtConsole()) return;
    uint8_t rows[kKeypadRows];
    bool answered[kKeypadRows];
    if (!ReadKeypadMatrix(rows, answered)) return;
    const char character = DecideKeyAnnouncement(rows, answered, state);
    if (character != 0) {
      std::printf("press (%c)\n", character);
      std::fflush(stdout);
      SendKeyForChar(character);
      PlayKeySound();
    }
  }
}
