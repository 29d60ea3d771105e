// The commands zolmek sends to the remote. Each fills exactly its own bytes
// of OutputReportBuffer and hands it to the transport, which sends the
// report's own length.
#include "remote/remote_link.h"

HidHandle remote_handle = -1;
uint8_t OutputReportBuffer[ZOLMEK_HID_BUFFER_SIZE];

// Shared by every write; the transport stores the sent length here.
static uint32_t write_count;

static void SendOutputReport() {
  WriteReport(remote_handle, OutputReportBuffer, &write_count);
}

void SetLeds(uint8_t value) {
  // High nibble: player LEDs 1-4. Bit 0 would run the rumble motor.
  OutputReportBuffer[0] = 0x11;
  OutputReportBuffer[1] = value;
  SendOutputReport();
}

void SetReportMode(uint8_t flags, uint8_t mode) {
  OutputReportBuffer[0] = 0x12;
  OutputReportBuffer[1] = flags;
  OutputReportBuffer[2] = mode;
  SendOutputReport();
}

void SetReportModeButtons() { SetReportMode(0x00, 0x30); }

void SetReportModeAccel() { SetReportMode(0x00, 0x31); }

void WriteRegisters(uint8_t device, uint8_t count, uint8_t reg, uint8_t byte0,
                    uint8_t byte1) {
  // Byte 1 selects the register space; bytes 2-4 are the address (device,
  // 0xFF, register). The size byte is count - 1, and the data always sit in
  // bytes 6 and 7 whatever it says.
  OutputReportBuffer[0] = 0x16;
  OutputReportBuffer[1] = 0x04;
  OutputReportBuffer[2] = device;
  OutputReportBuffer[3] = 0xFF;
  OutputReportBuffer[4] = reg;
  OutputReportBuffer[5] = static_cast<uint8_t>(count - 1);
  OutputReportBuffer[6] = byte0;
  OutputReportBuffer[7] = byte1;
  for (int i = 8; i <= 21; ++i) OutputReportBuffer[i] = 0x00;
  SendOutputReport();
}

void RequestRegisterRead(uint8_t device, uint8_t count, uint8_t reg) {
  // Address as in a write but with 0x00 in the middle; then the byte count
  // as a big-endian 16-bit value. The remote answers with report 0x21.
  OutputReportBuffer[0] = 0x17;
  OutputReportBuffer[1] = 0x04;
  OutputReportBuffer[2] = device;
  OutputReportBuffer[3] = 0x00;
  OutputReportBuffer[4] = reg;
  OutputReportBuffer[5] = 0x00;
  OutputReportBuffer[6] = count;
  SendOutputReport();
}
