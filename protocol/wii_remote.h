// The Wii Remote as zolmek talks to it: its ids on the HID bus, the reports
// it exchanges with zolmek, their lengths (id byte included) and the byte
// layouts both sides read and write. The one place these numbers are
// written; the program, both transports, the emulator, zolmek-remote, the
// fuzz targets and the tests take them from here.
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
inline constexpr uint8_t kStatusRequestReport = 0x15;  // answered by 0x20
inline constexpr uint8_t kWriteRegisterReport = 0x16;
inline constexpr uint8_t kReadRegisterReport = 0x17;
// Input reports. The remote sends ids 0x20 to 0x3F only.
inline constexpr uint8_t kStatusReport = 0x20;
inline constexpr uint8_t kReadReplyReport = 0x21;    // answers 0x17
inline constexpr uint8_t kAcknowledgeReport = 0x22;  // answers a write
inline constexpr uint8_t kButtonsReport = 0x30;
inline constexpr uint8_t kButtonsAccelReport = 0x31;

constexpr bool IsRemoteInputReport(uint8_t report_id) {
  return report_id >= 0x20 && report_id <= 0x3F;
}

// Report 0x11: the high nibble lights player LEDs 1 to 4; bit 0, never set
// here, runs the rumble motor.
constexpr uint8_t PlayerLed(int led) {  // led 1..4
  return static_cast<uint8_t>(0x10u << (led - 1));
}
inline constexpr uint8_t kAllPlayerLeds = 0xF0;

// Report 0x12: byte 1 the flags (none: a report only when something
// changes, never continuously), byte 2 the mode, the id of the input report
// the remote then sends (kButtonsReport or kButtonsAccelReport).
inline constexpr uint8_t kReportOnChange = 0x00;

// Input reports 0x20 to 0x3F begin with the two button bytes; 0x31 goes on
// with the accelerometer.
inline constexpr size_t kButtonByte1 = 1;
inline constexpr size_t kButtonByte2 = 2;
inline constexpr size_t kAccelXByte = 3;
inline constexpr size_t kAccelYByte = 4;
inline constexpr size_t kAccelZByte = 5;
// Button byte 2, bit 7: the Home button.
inline constexpr uint8_t kHomeButtonBit = 0x80;

// Report 0x15 asks for a status report: byte 1 holds the rumble bit (bit 0)
// like every output report's first byte, 0x00 here. The remote answers with
// 0x20, and also sends one unasked when an extension is plugged in or
// pulled out. After any status report the remote sends no data reports
// (0x30 to 0x3F, button changes included) until a 0x12 sets the report mode
// again; register reads (0x17 -> 0x21) still work. The kernel's hid-wiimote
// driver resends the mode after each one for that reason.
//
// Report 0x20: the button bytes, then byte 3 the flags (bit 1: an extension
// is connected; bits 4 to 7 the player LEDs), bytes 4 and 5 unused, byte 6
// the battery level.
inline constexpr size_t kStatusFlagsByte = 3;
inline constexpr uint8_t kStatusExtensionBit = 0x02;
inline constexpr size_t kStatusBatteryByte = 6;

// The battery level of a status report in percent, as the kernel's
// hid-wiimote driver reports it (level * 100 / 255, rounded down).
constexpr int BatteryPercent(uint8_t level) { return level * 100 / 255; }

// Register access. Reports 0x16 and 0x17 name a 24-bit address on the
// remote's register bus, big-endian in bytes 2 to 4: the device, a middle
// byte, the register. The middle byte is 0xFF in a write and 0x00 in a read.
inline constexpr uint8_t kRegisterSpace = 0x04;  // byte 1 of 0x16 and 0x17
inline constexpr size_t kAddressDeviceByte = 2;
inline constexpr size_t kAddressMiddleByte = 3;
inline constexpr size_t kAddressRegisterByte = 4;
inline constexpr uint8_t kWriteAddressMiddle = 0xFF;
inline constexpr uint8_t kReadAddressMiddle = 0x00;
// A write: byte 5 is the size byte (count - 1), bytes 6 to 21 the data.
inline constexpr size_t kWriteSizeByte = 5;
inline constexpr size_t kWriteDataByte = 6;
inline constexpr size_t kRegisterDataMax = 16;
// A read request: bytes 5 and 6 the byte count, big-endian.
inline constexpr size_t kReadCountByte = 5;

// The answer to a read request (report 0x21): the button bytes, then a byte
// whose high nibble is size - 1 and whose low nibble the error code, the low
// 16 bits of the address read (middle byte, register), and the data.
inline constexpr size_t kAnswerSizeErrorByte = 3;
inline constexpr uint8_t kAnswerErrorBits = 0x0F;
inline constexpr size_t kAnswerAddressMiddleByte = 4;
inline constexpr size_t kAnswerAddressRegisterByte = 5;
inline constexpr size_t kAnswerDataByte = 6;

// Error codes of register access (also in an acknowledgement's byte 4).
inline constexpr uint8_t kErrorNone = 0;
inline constexpr uint8_t kErrorNoDevice = 7;  // nothing at that address

// The length of an output report the remote takes, 0 for an id it does not
// take.
constexpr size_t RemoteOutputReportLength(uint8_t report_id) {
  switch (report_id) {
    case kLedReport:
      return 2;
    case kReportModeReport:
      return 3;
    case kStatusRequestReport:
      return 2;
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
