// The devices' numbers (protocol/) against the outside world's, the
// remote's report lengths, as a transport that cannot ask the device uses
// them, and the emulator behind the transport functions.
#include <gtest/gtest.h>

#include "emulator/emulator_control.h"
#include "protocol/keypad.h"
#include "protocol/wii_remote.h"
#include "transport/report_descriptor.h"
#include "transport/zolmek_hid.h"

// Written out here, so that a wrong number in protocol/ cannot pass for the
// program, the emulators and the tests at once.
TEST(DeviceFactsTest, EachNameHoldsTheNumberTheHardwareUses) {
  const std::pair<unsigned, unsigned> facts[] = {
      {kRemoteVendorId, 0x057E},
      {kRemoteProductId, 0x0306},
      {kRemotePlusProductId, 0x0330},
      {kLedReport, 0x11},
      {kReportModeReport, 0x12},
      {kWriteRegisterReport, 0x16},
      {kReadRegisterReport, 0x17},
      {kStatusRequestReport, 0x15},
      {kStatusFlagsByte, 3},
      {kStatusExtensionBit, 0x02},
      {kStatusBatteryByte, 6},
      // hid-wiimote's scale: level * 100 / 255, rounded down.
      {BatteryPercent(25), 9},
      {BatteryPercent(26), 10},
      {BatteryPercent(255), 100},
      {kStatusReport, 0x20},
      {kReadReplyReport, 0x21},
      {kAcknowledgeReport, 0x22},
      {kButtonsReport, 0x30},
      {kButtonsAccelReport, 0x31},
      {kHomeButtonBit, 0x80},
      {kAllPlayerLeds, 0xF0},
      {PlayerLed(1), 0x10},
      {kRegisterSpace, 0x04},
      {kAnswerErrorBits, 0x0F},
      {kErrorNoDevice, 7},
      {kExpanderDevice, 0xE8},
      {kInputRegister, 0},
      {kOutputRegister, 2},
      {kDirectionRegister, 6},
      {kRowPatterns[0], 0xFC},
      {kRowPatterns[1], 0xFA},
      {kRowPatterns[2], 0xF6},
      {kRowPatterns[3], 0xEE},
      {kColumnBits, 0x3F},
      {unsigned(KeyPosition(2, 3)), 16},
  };
  for (size_t i = 0; i < std::size(facts); ++i) {
    EXPECT_EQ(facts[i].first, facts[i].second) << "row " << i;
  }
}

TEST(RemoteReportsTest, OutputLengthsOfTheReportsZolmekSends) {
  const std::pair<uint8_t, size_t> cases[] = {
      {0x11, 2},
      {0x12, 3},
      {0x16, 22},
      {0x17, 7},
      {0x15, 2},
      // Not ours to send: refused rather than sent at a guessed length.
      {0x00, 0},
      {0x10, 0},
      {0x18, 0},
      {0x21, 0},
      {0xFF, 0},
  };
  for (const auto& [id, length] : cases) {
    EXPECT_EQ(RemoteOutputReportLength(id), length) << std::hex << int(id);
  }
}

TEST(RemoteReportsTest, InputLengthComesFromTheIdNotFromTheRead) {
  // Windows hands over every input report padded to the longest one (22
  // bytes for the remote); the id says how much of it is the report.
  struct Case {
    uint8_t id;
    size_t received, length;
  } cases[] = {
      {0x20, 22, 7},
      {0x21, 22, 22},
      {0x22, 22, 5},
      {0x30, 22, 3},
      {0x31, 22, 6},
      {0x32, 22, 11},
      {0x33, 22, 18},
      {0x37, 22, 22},
      {0x3F, 22, 22},
      // A short delivery is never stretched past what arrived.
      {0x21, 8, 8},
      {0x31, 4, 4},
      {0x30, 0, 0},
      // Ids the remote does not send keep what arrived.
      {0x00, 22, 22},
      {0x38, 22, 22},
      {0xA1, 13, 13},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RemoteInputReportLength(c.id, c.received), c.length)
        << std::hex << int(c.id) << std::dec << " of " << c.received;
  }
}

// Report Size and Count are 32-bit: a report declared at 2^32 bits or more
// must not wrap round to a short length; it gets the longest length there is,
// which the transport refuses to send.
TEST(ReportDescriptorTest, HugeReportsAreNotShortened) {
  const uint8_t descriptor[] = {
      0x85, 0x16,                    // Report ID 0x16
      0x77, 0x08, 0x00, 0x00, 0x00,  // Report Size 8
      0x97, 0x00, 0x00, 0x00, 0x20,  // Report Count 2^29
      0x91, 0x02,                    // Output
      0x91, 0x02,                    // and again: 2^33 bits in all
      0x85, 0x17,                    // Report ID 0x17
      0x77, 0x00, 0x00, 0x01, 0x00,  // Report Size 2^16
      0x97, 0x00, 0x00, 0x01, 0x00,  // Report Count 2^16
      0x91, 0x02,                    // Output: 2^32 bits
  };
  uint16_t lengths[256];
  ASSERT_EQ(ParseOutputReportLengths(descriptor, sizeof descriptor, lengths),
            2);
  EXPECT_EQ(lengths[0x16], 0xFFFF);
  EXPECT_EQ(lengths[0x17], 0xFFFF);
}

// A remote that went away and came back is a new device: the old handle
// stays dead, and the wait ends when it is back, once per connection.
TEST(EmulatedTransportTest, RemoteThatComesBackNeedsANewHandle) {
  ASSERT_EQ(zolmek_emulator::LoadScenarioText("disconnect 1\nreconnect 50"),
            "");
  EXPECT_EQ(WaitForHidDevice(kRemoteVendorId, 0, 0), 1);  // there already
  const HidHandle old = OpenHidHandle(kRemoteVendorId, kRemoteProductId);
  ASSERT_GE(old, 0);
  uint8_t buffer[ZOLMEK_HID_BUFFER_SIZE] = {kReadRegisterReport, 0x04, 0xE8};
  ASSERT_EQ(WriteReport(old, buffer, nullptr), 7);  // its answer is the last
  EXPECT_EQ(OpenHidHandle(kRemoteVendorId, kRemoteProductId), -1);
  EXPECT_EQ(WaitForHidDevice(kRemoteVendorId, kRemoteProductId, 60000), 1);
  const HidHandle fresh = OpenHidHandle(kRemoteVendorId, kRemoteProductId);
  ASSERT_GE(fresh, 0);
  EXPECT_EQ(ReadReportTimeout(old, buffer, nullptr, 0), -1);
  EXPECT_EQ(WriteReport(old, buffer, nullptr), -1);
  char text[ZOLMEK_HID_TEXT_SIZE];
  EXPECT_EQ(GetHidDevicePath(fresh, text, sizeof text), 8);  // "emulator"
  EXPECT_EQ(CloseHidHandle(old), 0);
  EXPECT_EQ(CloseHidHandle(fresh), 0);
}
