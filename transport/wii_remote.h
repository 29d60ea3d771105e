// The Wii Remote as it shows itself on the HID bus: its ids, the reports it
// exchanges with zolmek and their lengths (id byte included). The one place
// these facts are written: the program, both transports, the emulator,
// zolmek-remote and the tests take them from here.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The Wii Remote (RVL-CNT-01), and the Wii Remote Plus (RVL-CNT-01-TR) that
// most remotes sold since 2010 are; both speak the same reports.
inline constexpr uint16_t kRemoteVendorId = 0x057E;
inline constexpr uint16_t kRemoteProductId = 0x0306;
inline constexpr uint16_t kRemotePlusProductId = 0x0330;

// Output reports.
inline constexpr uint8_t kLedReport = 0x11;  // player LEDs (and rumble)
inline constexpr uint8_t kReportModeReport = 0x12;
inline constexpr uint8_t kWriteRegisterReport = 0x16;
inline constexpr uint8_t kReadRegisterReport = 0x17;
// Input reports.
inline constexpr uint8_t kStatusReport = 0x20;
inline constexpr uint8_t kReadReplyReport = 0x21;    // answers 0x17
inline constexpr uint8_t kAcknowledgeReport = 0x22;  // answers a write
inline constexpr uint8_t kButtonsReport = 0x30;
inline constexpr uint8_t kButtonsAccelReport = 0x31;

// Button byte 2, bit 7: the Home button.
inline constexpr uint8_t kHomeButtonBit = 0x80;

// The length of an output report the remote takes, 0 for an id it does not
// take.
constexpr size_t RemoteOutputReportLength(uint8_t report_id) {
  switch (report_id) {
    case kLedReport:
      return 2;
    case kReportModeReport:
      return 3;
    case kWriteRegisterReport:  // address, size, 16 data bytes
      return 22;
    case kReadRegisterReport:
      return 7;
    default:
      return 0;
  }
}

// The length of an input report the remote sends, from its id, 0 for an id
// it does not send.
constexpr size_t RemoteInputReportLength(uint8_t report_id) {
  switch (report_id) {
    case kStatusReport:
      return 7;
    case kReadReplyReport:  // error, address, 16 data bytes
      return 22;
    case kAcknowledgeReport:
      return 5;
    case kButtonsReport:
      return 3;
    case kButtonsAccelReport:
      return 6;
    case 0x32:  // buttons and 8 extension bytes
      return 11;
    case 0x33:  // buttons, accelerometer, 12 IR bytes
      return 18;
    case 0x34:  // the 22-byte data reports
    case 0x35:
    case 0x36:
    case 0x37:
    case 0x3D:
    case 0x3E:
    case 0x3F:
      return 22;
    default:
      return 0;
  }
}

// For a HID stack that hands over every input report padded to the longest
// one (Windows): how much of the `received` bytes is the report. Never more
// than arrived; an id the remote does not send keeps what arrived.
constexpr size_t RemoteInputReportLength(uint8_t report_id, size_t received) {
  const size_t length = RemoteInputReportLength(report_id);
  return length != 0 && length < received ? length : received;
}
