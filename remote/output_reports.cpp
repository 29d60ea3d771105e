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
  OutputReportBuffer[0] = kLedReport;
  OutputReportBuffer[1] = value;
  SendOutputReport();
}

void SetReportMode(uint8_t flags, uint8_t mode) {
  OutputReportBuffer[0] = kReportModeReport;
  OutputReportBuffer[1] = flags;
  OutputReportBuffer[2] = mode;
  SendOutputReport();
}

void RequestStatus() {
  OutputReportBuffer[0] = kStatusRequestReport;
  OutputReportBuffer[1] = 0x00;  // bit 0 would run the rumble motor
  SendOutputReport();
}

void SetReportModeButtons() { SetReportMode(kReportOnChange, kButtonsReport); }

void SetReportModeAccel() {
  SetReportMode(kReportOnChange, kButtonsAccelReport);
}

// Byte 1 selects the register space, bytes 2-4 are the address.
static void PutRegisterAddress(uint8_t device, uint8_t middle, uint8_t reg) {
  OutputReportBuffer[1] = kRegisterSpace;
  OutputReportBuffer[kAddressDeviceByte] = device;
  OutputReportBuffer[kAddressMiddleByte] = middle;
  OutputReportBuffer[kAddressRegisterByte] = reg;
}

void WriteRegisters(uint8_t device, uint8_t count, uint8_t reg, uint8_t byte0,
                    uint8_t byte1) {
  // The size byte is count - 1, and the data always sit in the first two
  // data bytes whatever it says; the other fourteen are zero.
  OutputReportBuffer[0] = kWriteRegisterReport;
  PutRegisterAddress(device, kWriteAddressMiddle, reg);
  OutputReportBuffer[kWriteSizeByte] = static_cast<uint8_t>(count - 1);
  OutputReportBuffer[kWriteDataByte] = byte0;
  OutputReportBuffer[kWriteDataByte + 1] = byte1;
  for (size_t i = kWriteDataByte + 2; i < kWriteDataByte + kRegisterDataMax;
       ++i) {
    OutputReportBuffer[i] = 0x00;
  }
  SendOutputReport();
}

void RequestRegisterRead(uint8_t device, uint8_t count, uint8_t reg) {
  // The byte count is big-endian; the remote answers with report 0x21.
  OutputReportBuffer[0] = kReadRegisterReport;
  PutRegisterAddress(device, kReadAddressMiddle, reg);
  OutputReportBuffer[kReadCountByte] = 0x00;
  OutputReportBuffer[kReadCountByte + 1] = count;
  SendOutputReport();
}
