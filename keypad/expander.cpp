#include <cstdio>

#include "base/quit.h"
#include "base/wait.h"
#include "keypad/keypad.h"
#include "remote/remote_link.h"

void ConfigureExpander() {
  // Port A drives the rows; port B stays input.
  WriteRegisters(kExpanderDevice, kExpanderTransferBytes, kDirectionRegister,
                 kEveryPinDriven, kNoPinDriven);
  WaitMilliseconds(1);
}

void ReleaseExpander() {
  WriteRegisters(kExpanderDevice, kExpanderTransferBytes, kDirectionRegister,
                 kNoPinDriven, kNoPinDriven);
  WaitMilliseconds(1);
}

// Drives `pattern` onto port A and asks for both ports' levels. The pattern
// goes out twice, each followed by its own wait, before the pins are read.
static void RequestRow(uint8_t pattern) {
  for (int i = 0; i < 2; ++i) {
    // Port B's latch goes with it; port B does not drive.
    WriteRegisters(kExpanderDevice, kExpanderTransferBytes, kOutputRegister,
                   pattern, 0x00);
    WaitMilliseconds(1);
  }
  RequestRegisterRead(kExpanderDevice, kExpanderTransferBytes, kInputRegister);
}

// The next answer to a read of the expander's input registers by
// `deadline`. An answer for another address answers someone else's read
// (a kernel driver's, say) and is passed over.
static bool AwaitInputAnswer(ReadDeadline deadline, RegisterAnswer& answer) {
  while (AwaitReadAnswer(deadline, answer)) {
    if (answer.address_middle == kReadAddressMiddle &&
        answer.address_register == kInputRegister) {
      return true;
    }
  }
  return false;
}

// The expander's driven pins read back as driven: a pin that `pattern` pulls
// low must read low. An answer where one reads high was made while another
// row was driven, i.e. it is the late answer to an earlier request.
static bool AnswersPattern(uint8_t port_a, uint8_t pattern) {
  return (port_a & static_cast<uint8_t>(~pattern)) == 0;
}

bool ReadKeypadRow(uint8_t pattern, uint8_t& port_a, uint8_t& columns) {
  port_a = 0xFF;  // every pin high: no switch closed
  columns = 0xFF;
  RequestRow(pattern);
  const ReadDeadline deadline = ReadReplyDeadline();
  RegisterAnswer answer;
  while (AwaitInputAnswer(deadline, answer)) {
    if (answer.error == kErrorNoDevice) return false;
    // Late, for an earlier row: this row's answer may still come in time.
    if (!AnswersPattern(answer.data[0], pattern)) continue;
    port_a = answer.data[0];
    columns = answer.data[1];
    return true;
  }
  return false;
}

bool DetectKeypad(bool show_dots) {
  const uint8_t probe_pattern = kRowPatterns[kKeypadRows - 1];
  for (int attempt = 0; attempt < kDetectAttempts; ++attempt) {
    // Escape is looked at once per attempt: 79 failed ones take about a
    // second, too long to leave the user waiting.
    if (QuitRequestedLookingAtConsole()) return false;
    ConfigureExpander();
    RequestRow(probe_pattern);
    // The first answer decides, by port A alone: the expander echoes the
    // pattern it drives. An error, other levels or no answer in time is a
    // failed attempt.
    RegisterAnswer answer;
    if (AwaitInputAnswer(ReadReplyDeadline(), answer) &&
        answer.error != kErrorNoDevice && answer.data[0] == probe_pattern) {
      return true;
    }
    // Quit during the attempt: no dot for it.
    if (QuitRequestedWithoutConsole()) return false;
    if (show_dots) {
      std::printf(".");
      std::fflush(stdout);
    }
  }
  return false;
}
