// The keypad as the program uses it: expander access, detection and the
// matrix scan. What the hardware is: protocol/keypad.h.
#pragma once

#include <cstdint>

#include "protocol/keypad.h"

constexpr int kDetectAttempts = 79;

void ConfigureExpander();
void ReleaseExpander();
// Drives `pattern` onto port A and reads both ports back: port A's levels
// (an echo of the pattern when the expander is there) and port B's, the
// column lines. Answers that do not fit the row (another address's, an
// earlier row's) are passed over while the read's time lasts. False when
// none came in time, it carried error 7, or a quit was asked for: both are
// 0xFF then.
bool ReadKeypadRow(uint8_t pattern, uint8_t& port_a, uint8_t& columns);
// Up to 79 attempts, a "." printed after each failed one (unless
// `show_dots` is off). The first answer decides; an error, a wrong echo or a
// missing answer is a failed attempt.
bool DetectKeypad(bool show_dots = true);

// The key position the column bytes of rows 0-3 show: the last closed
// switch in scan order, 0 when none is closed.
int FindKeyPosition(const uint8_t columns[kKeypadRows]);

// What the scan knows of the matrix between passes: each row's column byte
// as last read (0xFF, no switch closed, before the first read) and the
// character the previous pass showed (0: none).
struct KeypadState {
  uint8_t columns[kKeypadRows];
  char last;
};
constexpr KeypadState kNoKeyDown = {{0xFF, 0xFF, 0xFF, 0xFF}, 0};

// Whether two positions type the same key (a key map can give two blank
// positions different keys).
using SameKeyRule = bool (*)(int position, int other_position);

// One pass's decision. Rows whose read got an answer (`answered`) take the
// new column byte; the others keep the one from before, since a lost, late
// or failed read says nothing about the switches and must not read as a
// release (the key would be typed again on the next good read). Returns the
// character to announce, 0 for none: a character other than the previous
// pass's, and not 0; or, with `same_key`, the same character at a position
// that types another key.
char DecideKeyAnnouncement(const uint8_t rows[kKeypadRows],
                           const bool answered[kKeypadRows], KeypadState& state,
                           SameKeyRule same_key = nullptr);

// What a scan does with what each pass finds. Each may be null.
struct ScanActions {
  // A new key, by the rule above: the position that won the pass.
  void (*new_key)(int position);
  // Every switch that closed or opened since the pass before.
  void (*switch_changed)(int position, bool closed);
  // Once a pass, before the rows are read: for work of the mode's own.
  void (*between_passes)();
};

// Scans the matrix until Escape, Home, a stop signal or a lost remote (as
// the quit rule says), doing `actions` with what it finds.
void ScanKeypadWith(const ScanActions& actions);

// The console's scan: each new key is echoed ("press (5)"), typed as the
// key map in use says and confirmed by the key sound.
void ScanKeypad();
