// Reading what the remote sends: button and accelerometer reports update
// RemoteState; the answer to a register read (report 0x21) is waited for.
#include <chrono>

#include "remote/quit.h"
#include "remote/remote_link.h"

uint8_t InputReportBuffer[ZOLMEK_HID_BUFFER_SIZE];
RemoteState remote_state;
std::atomic<bool> remote_lost{false};

// Shared by every read; the transport stores the report's length here.
static uint32_t read_count;

// While a register read waits longer than this, the console and the other
// quit conditions are looked at between slices of the wait. The remote
// normally answers well inside one slice.
constexpr int kQuitCheckSliceMs = 20;

// Returns the report's length, 0 when none came in time. A failed read means
// the remote is gone; that ends every wait from now on.
static int32_t ReadInputReport(int32_t timeout_ms) {
  const int32_t length = ReadReportTimeout(remote_handle, InputReportBuffer,
                                           &read_count, timeout_ms);
  if (length < 0) remote_lost = true;
  return length;
}

static bool IsButtonReport(uint8_t id) { return id == 0x30 || id == 0x31; }

// The bytes a report must reach to be read at all: the transport writes only
// the report's own bytes, and the rest of InputReportBuffer still holds an
// earlier report's. Button bytes end at 2, a 0x31 report's accelerometer at
// 5, a register answer's first two data bytes at 7.
constexpr int32_t kButtonsEnd = 3;
constexpr int32_t kAccelEnd = 6;
constexpr int32_t kAnswerDataEnd = 8;

static void TakeButtons(int32_t length) {
  if (length < kButtonsEnd) return;
  remote_state.button_byte_1 = InputReportBuffer[1];
  remote_state.button_byte_2 = InputReportBuffer[2];
}

int32_t ReadRemoteReport(int32_t timeout_ms) {
  return ReadInputReport(timeout_ms);
}

void TakeRemoteReport(int32_t length) {
  if (length <= 0) return;
  const uint8_t id = InputReportBuffer[0];
  if (!IsButtonReport(id)) return;
  TakeButtons(length);
  if (id == 0x31 && length >= kAccelEnd) {
    remote_state.accel_x = InputReportBuffer[3];
    remote_state.accel_y = InputReportBuffer[4];
    remote_state.accel_z = InputReportBuffer[5];
  }
}

void PollRemote(int32_t timeout_ms) {
  TakeRemoteReport(ReadInputReport(timeout_ms));
}

// The expander's driven pins read back as driven: a pin that `pattern` pulls
// low must read low. An answer where one reads high was made while another
// row was driven, i.e. it is the late answer to an earlier request.
static bool AnswersPattern(uint8_t first, uint8_t pattern) {
  return (first & static_cast<uint8_t>(~pattern)) == 0;
}

bool AwaitReadReply(uint8_t pattern, uint8_t& first, uint8_t& second) {
  using Clock = std::chrono::steady_clock;
  first = 0xFF;
  second = 0xFF;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(kReadReplyTimeoutMs);
  bool waited_long = false;
  for (;;) {
    if (waited_long ? QuitRequestedOrEscape() : QuitRequested()) return false;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now())
            .count();
    if (left <= 0) return false;  // unanswered
    // Past its first slice a wait is long even when no read came back
    // empty: a remote that keeps sending other reports must not keep the
    // console unread until the deadline.
    if (left <= kReadReplyTimeoutMs - kQuitCheckSliceMs) waited_long = true;
    const int32_t slice = static_cast<int32_t>(
        left < kQuitCheckSliceMs ? left : kQuitCheckSliceMs);
    const int32_t length = ReadInputReport(slice);
    if (length < 0) return false;
    if (length == 0) {
      waited_long = true;
      continue;
    }
    const uint8_t id = InputReportBuffer[0];
    if (IsButtonReport(id)) {
      TakeButtons(length);  // not the accelerometer: only the probe wants it
      continue;
    }
    if (id != 0x21) continue;  // write acknowledgements and the like
    if (length < kAnswerDataEnd) continue;  // cut short: not an answer
    // Bytes 4-5 are the low half of the address read. Ours is register 0;
    // anything else answers a read someone else made (e.g. a kernel driver).
    if (InputReportBuffer[4] != 0x00 || InputReportBuffer[5] != 0x00) continue;
    if ((InputReportBuffer[3] & 0x0F) == 7) return false;  // nothing there
    if (!AnswersPattern(InputReportBuffer[6], pattern)) continue;
    first = InputReportBuffer[6];
    second = InputReportBuffer[7];
    return true;
  }
}
