// The real Linux transport (its hidraw node found by hidapi) on a stand-in
// hidapi and hidraw node: the length each report goes out at, and the warning
// when the kernel's own driver holds the remote.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/hidapi_fake.h"
#include "transport/zolmek_hid.h"

TEST(LinuxTransportTest, ReportsGoOutAtTheirOwnLength) {
  // Report 0x16 declared as 8 bytes after its id, and nothing else.
  const std::vector<uint8_t> only_16 = {0x75, 0x08, 0x95, 0x08,
                                        0x85, 0x16, 0x91, 0x02};
  struct Case {
    const char* what;
    std::vector<uint8_t> descriptor;
    uint8_t id;
    int sent;  // -1: refused
  } cases[] = {
      {"LEDs, no descriptor: the remote's lengths", {}, 0x11, 2},
      {"report mode", {}, 0x12, 3},
      {"register write", {}, 0x16, 22},
      {"register read", {}, 0x17, 7},
      {"an input report's id", {}, 0x21, -1},
      {"the descriptor's length", only_16, 0x16, 9},
      {"not in the descriptor", only_16, 0x11, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake_hidapi::Reset();
    fake_hidapi::descriptor = c.descriptor;
    const HidHandle h = OpenHidHandle(0x057E, 0x0306);
    ASSERT_GE(h, 0);
    uint8_t buffer[ZOLMEK_HID_BUFFER_SIZE] = {c.id};
    EXPECT_EQ(WriteReport(h, buffer, nullptr), c.sent);
    EXPECT_EQ(fake_hidapi::last_write, c.sent < 0 ? 0u : size_t(c.sent));
    EXPECT_EQ(CloseHidHandle(h), 0);
  }
}

TEST(LinuxTransportTest, KernelDriverHoldingTheRemoteIsNamed) {
  const std::pair<const char*, bool> cases[] = {
      {"wiimote", true}, {"hid-generic", false}, {"", false}};
  for (const auto& [driver, warned] : cases) {
    SCOPED_TRACE(driver);
    fake_hidapi::Reset();
    fake_hidapi::driver = driver;
    testing::internal::CaptureStderr();
    const HidHandle h = OpenHidHandle(0x057E, 0x0306);
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_GE(h, 0);
    EXPECT_EQ(
        said.rfind("warning: the kernel's wiimote driver is bound", 0) == 0,
        warned)
        << said;
    CloseHidHandle(h);
  }
}
