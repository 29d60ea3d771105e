// The keypad as hardware: a 4 x 6 switch matrix behind a two-port I/O
// expander on the Wii Remote's register bus. Port A drives the rows, port B
// reads the columns. The one place these numbers are written; the program,
// the emulator, zolmek-remote, the fuzz targets and the tests take them from
// here.
#pragma once

#include <stdint.h>

// The expander's first address byte on the remote's register bus.
inline constexpr uint8_t kExpanderDevice = 0xE8;
// Its registers, one per port: the pins' input levels (read only), the
// output latches, and the pin directions (a 0 bit drives its pin).
inline constexpr uint8_t kInputRegister = 0x00;  // port A; port B at 0x01
inline constexpr uint8_t kOutputRegister = 0x02;
inline constexpr uint8_t kDirectionRegister = 0x06;
inline constexpr int kExpanderRegisters = 8;
inline constexpr uint8_t kEveryPinDriven = 0x00;
inline constexpr uint8_t kNoPinDriven = 0xFF;
// Every write and read is of two bytes: one per port.
inline constexpr uint8_t kExpanderTransferBytes = 2;

inline constexpr int kKeypadRows = 4;
inline constexpr int kKeypadColumns = 6;
inline constexpr int kKeyPositions = kKeypadRows * kKeypadColumns;

// Port A's pin for row `row`: bit row + 1. Bit 0 is the common line.
constexpr uint8_t RowLine(int row) {
  return static_cast<uint8_t>(1u << (row + 1));
}
// The port A patterns that select rows 0-3: the common line and the row's
// own pulled low.
inline constexpr uint8_t kRowPatterns[kKeypadRows] = {0xFC, 0xFA, 0xF6, 0xEE};
constexpr bool EachPatternDrivesItsRow() {
  for (int row = 0; row < kKeypadRows; ++row) {
    if (kRowPatterns[row] != static_cast<uint8_t>(~(0x01 | RowLine(row)))) {
      return false;
    }
  }
  return true;
}
static_assert(EachPatternDrivesItsRow());

// Port B: bit k is column k, low while its switch in the driven row is
// closed. Bits 6 and 7 are not wired.
inline constexpr uint8_t kColumnBits = 0x3F;

// Key positions: 0 for no key, else row * 6 + column + 1 (1..24).
constexpr int KeyPosition(int row, int column) {
  return row * kKeypadColumns + column + 1;
}

// The legend of each key position, position 0 the character code 0 (no
// key). Read from position 1 on: "  + E -*963. /8520 N741 "; a space marks a
// position with no legend.
inline constexpr char KeyTable[kKeyPositions + 1] = {
    0,   ' ', ' ', '+', ' ', 'E', ' ', '-', '*', '9', '6', '3', '.',
    ' ', '/', '8', '5', '2', '0', ' ', 'N', '7', '4', '1', ' '};
