// The keypad: a 4 x 6 switch matrix behind a two-port I/O expander on the
// remote's register bus. Port A drives the rows, port B reads the columns.
#pragma once

#include <cstdint>

// The expander's first address byte on the remote's register bus.
constexpr uint8_t kExpanderDevice = 0xE8;
// Registers: input levels from 0, output latch of port A at 2, pin
// directions from 6 (a 0 bit drives the pin).
constexpr uint8_t kInputRegister = 0x00;
constexpr uint8_t kOutputRegister = 0x02;
constexpr uint8_t kDirectionRegister = 0x06;

constexpr int kKeypadRows = 4;
constexpr int kKeypadColumns = 6;
// Port A patterns that select rows 0-3: bit 0 and bit row+1 driven low.
constexpr uint8_t kRowPatterns[kKeypadRows] = {0xFC, 0xFA, 0xF6, 0xEE};
constexpr int kDetectAttempts = 79;

// Characters by key position (row * 6 + column + 1); position 0 = no key.
extern const char KeyTable[kKeypadRows * kKeypadColumns + 1];

void ConfigureExpander();
void ReleaseExpander();
// Drives `pattern` onto port A and reads both ports back: port A's levels
// (an echo of the pattern when the expander is there) and port B's, the
// column lines. False when no usable answer came (see AwaitReadReply): both
// are 0xFF then.
bool ReadKeypadRow(uint8_t pattern, uint8_t& port_a, uint8_t& columns);
// Up to 79 attempts, a "." printed after each failed one; an error or a
// missing answer is a failed attempt.
bool DetectKeypad();

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

// One pass's decision. Rows whose read got an answer (`answered`) take the
// new column byte; the others keep the one from before, since a lost, late
// or failed read says nothing about the switches and must not read as a
// release (the key would be typed again on the next good read). Returns the
// character to announce, 0 for none: a character other than the previous
// pass's, and not 0.
char DecideKeyAnnouncement(const uint8_t rows[kKeypadRows],
                           const bool answered[kKeypadRows],
                           KeypadState& state);

// Scans the matrix until Escape, Home, a stop signal or a lost remote,
// announcing each new key.
void ScanKeypad();
