#include <cstdio>

#include "base/wait.h"
#include "keypad/keypad.h"
#include "remote/quit.h"
#include "remote/remote_link.h"

void ConfigureExpander() {
  // Port A drives the rows; port B stays input (its byte is never 0x00).
  WriteRegisters(kExpanderDevice, 2, kDirectionRegister, 0x00, 0xFF);
  WaitMilliseconds(1);
}

void ReleaseExpander() {
  WriteRegisters(kExpanderDevice, 2, kDirectionRegister, 0xFF, 0xFF);
  WaitMilliseconds(1);
}

bool ReadKeypadRow(uint8_t pattern, uint8_t& port_a, uint8_t& columns) {
  // The pattern goes out twice, each followed by its own wait, before the
  // pins are read back.
  for (int i = 0; i < 2; ++i) {
    WriteRegisters(kExpanderDevice, 2, kOutputRegister, pattern, 0x00);
    WaitMilliseconds(1);
  }
  RequestRegisterRead(kExpanderDevice, 2, kInputRegister);
  return AwaitReadReply(pattern, port_a, columns);
}

bool DetectKeypad() {
  const uint8_t probe_pattern = kRowPatterns[kKeypadRows - 1];
  for (int attempt = 0; attempt < kDetectAttempts; ++attempt) {
    // Escape is looked at once per attempt: 79 failed ones take about a
    // second, too long to leave the user waiting.
    if (QuitRequestedOrEscape()) return false;
    ConfigureExpander();
    // Only port A decides: the expander echoes the pattern it drives.
    uint8_t port_a = 0;
    uint8_t columns = 0;
    ReadKeypadRow(probe_pattern, port_a, columns);
    if (port_a == probe_pattern) return true;
    if (QuitRequested()) return false;
    std::printf(".");
    std::fflush(stdout);
  }
  return false;
}
