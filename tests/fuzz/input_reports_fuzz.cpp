// libFuzzer target: the input side. A fuzz transport hands out the fuzzer's
// bytes as input reports, one per read, to the real report reader (the
// probe's polls), the wait for a register answer, keypad detection and the
// scan.
//
// Input: records of a 2-byte little-endian header h and a body. h % 258 is
// the report's length, 0-256 (0 reads as "nothing in time"), or 257: the
// remote goes away and every read from then on fails. The body is the report,
// id first, cut short where the input ends. Once the records run out, every
// read returns "nothing in time" and the console answers Escape, so that every
// wait ends at once instead of after its real timeout.
//
// Besides the sanitizers' checks:
// - the button bytes are those of the last whole button report handed out,
//   the accelerometer's those of the last whole 0x31 report;
// - the keypad is found only from a valid answer echoing the probe pattern;
// - every key typed and every key sound follows a valid answer that showed
//   that key's switch closed (a valid answer: a whole 0x21 report for
//   address 00 00, error code not 7, port A's byte echoing the driven row);
// - every wait ends: few reads once the records have run out.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/console.h"
#include "base/stop.h"
#include "base/wait.h"
#include "host/host_output.h"
#include "keypad/keypad.h"
#include "remote/remote_link.h"
#include "test_support/host_fake.h"
#include "test_support/program_state.h"

namespace {

// Reads once the records have run out before a wait counts as endless: the
// first empty read ends every wait through Escape.
constexpr int kMaxReadsAfterEnd = 100;

struct Feed {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;
  bool gone = false;
  bool ended = false;
  int reads_after_end = 0;
  // What the remote was told and what it handed out.
  uint8_t driven = 0xFF;  // port A's latch as last written
  uint8_t buttons[2] = {0, 0};
  uint8_t accel_x = 0;
  bool probe_answered = false;  // a valid answer echoed 0xEE exactly
  bool backed[kKeyPositions + 1] = {};
  size_t events_checked = 0;
} feed;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

int RowOfPattern(uint8_t pattern) {
  for (int row = 0; row < kKeypadRows; ++row) {
    if (kRowPatterns[row] == pattern) return row;
  }
  return -1;
}

// Notes what a report handed out may rightly cause.
void NoteReport(const uint8_t* r, size_t length) {
  const uint8_t id = r[0];
  // A status report carries the buttons too (and is taken only whole).
  if (((id == kButtonsReport || id == kButtonsAccelReport) &&
       length > kButtonByte2) ||
      (id == kStatusReport && length > kStatusBatteryByte)) {
    feed.buttons[0] = r[kButtonByte1];
    feed.buttons[1] = r[kButtonByte2];
  }
  if (id == kButtonsAccelReport && length > kAccelZByte) {
    feed.accel_x = r[kAccelXByte];
  }
  if (id != kReadReplyReport || length < kAnswerDataByte + 2) return;
  if (r[kAnswerAddressMiddleByte] != kReadAddressMiddle ||
      r[kAnswerAddressRegisterByte] != kInputRegister ||
      (r[kAnswerSizeErrorByte] & kAnswerErrorBits) == kErrorNoDevice) {
    return;
  }
  const uint8_t port_a = r[kAnswerDataByte];
  const uint8_t columns = r[kAnswerDataByte + 1];
  if ((port_a & static_cast<uint8_t>(~feed.driven)) != 0) return;
  if (feed.driven == kRowPatterns[kKeypadRows - 1] && port_a == feed.driven) {
    feed.probe_answered = true;
  }
  const int row = RowOfPattern(feed.driven);
  if (row < 0) return;
  for (int column = 0; column < kKeypadColumns; ++column) {
    if ((columns & (1u << column)) == 0) {
      feed.backed[KeyPosition(row, column)] = true;
    }
  }
}

bool SomeBackedKeyTypes(unsigned code) {
  for (int p = 1; p <= kKeyPositions; ++p) {
    if (feed.backed[p] && VirtualKeyForChar(KeyTable[p]) == code) return true;
  }
  return false;
}

// The host events since the last look: each key and sound needs a backed
// switch. Called before every read, so before the answers change anything.
void CheckAnnouncements() {
  for (; feed.events_checked < fake::events.size(); ++feed.events_checked) {
    const std::string& event = fake::events[feed.events_checked];
    if (event.rfind("key down ", 0) == 0) {
      const unsigned code = std::strtoul(event.c_str() + 9, nullptr, 16);
      if (!SomeBackedKeyTypes(code)) Fail("a key typed from no valid answer");
    } else if (event == "sound") {
      bool any = false;
      for (bool b : feed.backed) any = any || b;
      if (!any) Fail("a key sound from no valid answer");
    }
  }
}

}  // namespace

// --- The fuzz transport ------------------------------------------------------

extern "C" {

HidHandle OpenHidHandle(uint16_t vendor_id, uint16_t product_id) {
  return vendor_id == kRemoteVendorId && product_id == kRemoteProductId ? 0
                                                                        : -1;
}

int32_t WriteReport(HidHandle h, const uint8_t* buffer, uint32_t* write_count) {
  if (h != 0 || buffer == nullptr) return -1;
  const size_t length = RemoteOutputReportLength(buffer[0]);
  if (length == 0) return -1;
  // Port A's output latch: the row driven.
  if (buffer[0] == kWriteRegisterReport &&
      buffer[kAddressDeviceByte] == kExpanderDevice &&
      buffer[kAddressRegisterByte] == kOutputRegister) {
    feed.driven = buffer[kWriteDataByte];
  }
  if (write_count != nullptr) *write_count = static_cast<uint32_t>(length);
  return static_cast<int32_t>(length);
}

int32_t ReadReportTimeout(HidHandle h, uint8_t* buffer, uint32_t* read_count,
                          int32_t) {
  if (h != 0 || buffer == nullptr) return -1;
  CheckAnnouncements();
  if (feed.gone) return -1;
  if (feed.at + 2 > feed.size) {
    feed.ended = true;
    if (++feed.reads_after_end > kMaxReadsAfterEnd) Fail("a wait did not end");
    return 0;
  }
  const unsigned header = feed.data[feed.at] | (feed.data[feed.at + 1] << 8);
  feed.at += 2;
  if (header % 258 == 257) {
    feed.gone = true;
    return -1;
  }
  size_t length = header % 258;
  if (length > feed.size - feed.at) length = feed.size - feed.at;
  // Like hidapi, only the report's own bytes are written.
  std::memcpy(buffer, feed.data + feed.at, length);
  feed.at += length;
  if (length > 0) NoteReport(buffer, length);
  if (read_count != nullptr) *read_count = static_cast<uint32_t>(length);
  return static_cast<int32_t>(length);
}

int32_t ReadReport(HidHandle h, uint8_t* buffer, uint32_t* read_count) {
  return ReadReportTimeout(h, buffer, read_count, -1);
}

int32_t CloseHidHandle(HidHandle h) { return h == 0 ? 0 : -1; }

}  // extern "C"

// The expander's settling waits take no time here.
void WaitMilliseconds(int32_t) {}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Dots and "press (5)" lines; the checks read the host events instead.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  feed = Feed();
  feed.data = data;
  feed.size = size;
  ResetProgramState();
  fake::console = [] { return feed.ended ? kEscapeKey : kNoKey; };

  remote_handle = OpenHidHandle(kRemoteVendorId, kRemoteProductId);
  // The probe's reader: button and accelerometer reports.
  PollRemote(0);
  PollRemote(0);
  if (remote_state.accel_x != feed.accel_x) {
    Fail("accelerometer bytes from no whole 0x31 report");
  }
  const bool found = DetectKeypad();
  if (found && !feed.probe_answered) Fail("keypad found from no valid answer");
  if (found) ScanKeypad();
  CheckAnnouncements();
  if (remote_state.button_byte_1 != feed.buttons[0] ||
      remote_state.button_byte_2 != feed.buttons[1]) {
    Fail("button bytes from no whole button report");
  }
  CloseHidHandle(remote_handle);
  remote_handle = -1;
  return 0;
}
