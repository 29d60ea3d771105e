// The real Linux transport (its hidraw node found by hidapi) on a stand-in
// hidapi and hidraw node: the length each report goes out at, the note when
// the remote cannot be opened or the kernel's own driver holds it, and which
// udev events end a wait for the remote.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "test_support/hidapi_fake.h"
#include "transport/hid_id.h"
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

// The note is the transport's only word: nothing goes to stderr, which the
// program's output is compared on.
TEST(LinuxTransportTest, KernelDriverOrUnopenableNodeIsNoted) {
  const struct {
    const char* driver;
    int open_error;
    std::string note;
  } cases[] = {
      {"wiimote", 0, "warning: the kernel's wiimote driver is bound"},
      {"hid-generic", 0, ""},
      {"", 0, ""},
      {"", EACCES,
       "zolmek: the remote 057E:0306 at /dev/hidraw7 cannot be opened: "
       "Permission denied (see \"Permissions\" in zolmek's README)"},
      {"", ENOENT, ""},  // gone between enumeration and open
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.driver + std::to_string(c.open_error));
    fake_hidapi::Reset();
    fake_hidapi::driver = c.driver;
    fake_hidapi::open_error = c.open_error;
    testing::internal::CaptureStderr();
    const HidHandle h = OpenHidHandle(0x057E, 0x0306);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    char note[ZOLMEK_HID_TEXT_SIZE];
    ASSERT_GE(GetHidNote(note, sizeof note), 0);
    EXPECT_EQ(std::string(note).substr(0, c.note.size()), c.note);
    EXPECT_EQ(note[0] == '\0', c.note.empty()) << note;
    EXPECT_EQ(h >= 0, c.open_error == 0);
    char path[ZOLMEK_HID_TEXT_SIZE];
    EXPECT_EQ(GetHidDevicePath(h, path, sizeof path), h >= 0 ? 12 : -1);
    EXPECT_STREQ(h >= 0 ? path : "/dev/hidraw7", "/dev/hidraw7");
    EXPECT_EQ(GetHidDevicePath(h, path, 12), -1);  // no room for the NUL
    CloseHidHandle(h);
  }
}

// Which udev events of a hidraw node end a wait for the remote.
TEST(LinuxTransportTest, OnlyTheRemotesNodeComingOrChangingEndsAWait) {
  const struct {
    const char *action, *hid_id;
    uint16_t product_id;
    bool arrival;
  } cases[] = {
      {"add", "0005:0000057E:00000306", 0x0306, true},
      {"change", "0003:0000057E:00000306", 0x0306, true},  // new permissions
      {"add", "0005:0000057E:00000330", 0x0306, false},    // the other product
      {"add", "0005:0000057E:00000330", 0, true},          // any product
      {"remove", "0005:0000057E:00000306", 0x0306, false},
      {nullptr, "0005:0000057E:00000306", 0x0306, false},
      {"add", "0003:0000046D:0000C52B", 0, false},  // another vendor's
      {"add", nullptr, 0, false},                   // no HID device above it
      {"add", "0005:0000057E", 0, false},
      {"add", "0005:0000057E:00000306x", 0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsArrivalEvent(c.action, c.hid_id, 0x057E, c.product_id),
              c.arrival)
        << (c.action ? c.action : "-") << " " << (c.hid_id ? c.hid_id : "-");
  }
}
