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
// Drives `pattern` onto port A and reads both ports back: first = port A
// (echoes the pattern when the expander is there), second = the columns.
void ReadKeypadRow(uint8_t pattern, uint8_t& first, uint8_t& second);
// Up to 79 attempts, a "." printed after each failed one.
bool DetectKeypad();

// The key position the column bytes of rows 0-3 show: the last closed
// switch in scan order, 0 when none is closed.
int FindKeyPosition(const uint8_t columns[kKeypadRows]);

// Scans the matrix until Escape, Home, a stop signal or a lost remote,
// announcing each new key.
void ScanKeypad();
