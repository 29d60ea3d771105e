// Reading what the remote sends: button and accelerometer reports update
// RemoteState; answers to register reads go to whoever waits for one.
#include "base/quit.h"
#include "remote/remote_link.h"

uint8_t InputReportBuffer[ZOLMEK_HID_BUFFER_SIZE];
RemoteState remote_state;
RemoteStatus remote_status;
std::atomic<bool> remote_lost{false};

using Clock = std::chrono::steady_clock;

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

static bool IsButtonReport(uint8_t id) {
  return id == kButtonsReport || id == kButtonsAccelReport;
}

// The bytes a report must reach to be read at all: the transport writes only
// the report's own bytes, and the rest of InputReportBuffer still holds an
// earlier report's.
constexpr int32_t kButtonsEnd = kButtonByte2 + 1;
constexpr int32_t kAccelEnd = kAccelZByte + 1;
constexpr int32_t kAnswerDataEnd = kAnswerDataByte + 2;
constexpr int32_t kStatusEnd = kStatusBatteryByte + 1;

static void TakeButtons(int32_t length) {
  if (length < kButtonsEnd) return;
  remote_state.button_byte_1 = InputReportBuffer[kButtonByte1];
  remote_state.button_byte_2 = InputReportBuffer[kButtonByte2];
}

// A status report: kept, never taken for anything else nor dropped.
static void TakeStatus(int32_t length) {
  if (length < kStatusEnd) return;
  TakeButtons(length);
  remote_status.flags = InputReportBuffer[kStatusFlagsByte];
  remote_status.battery_level = InputReportBuffer[kStatusBatteryByte];
  ++remote_status.reports;
}

int32_t ReadRemoteReport(int32_t timeout_ms) {
  return ReadInputReport(timeout_ms);
}

void TakeRemoteReport(int32_t length) {
  if (length <= 0) return;
  const uint8_t id = InputReportBuffer[0];
  if (id == kStatusReport) TakeStatus(length);
  if (!IsButtonReport(id)) return;
  TakeButtons(length);
  if (id == kButtonsAccelReport && length >= kAccelEnd) {
    remote_state.accel_x = InputReportBuffer[kAccelXByte];
    remote_state.accel_y = InputReportBuffer[kAccelYByte];
    remote_state.accel_z = InputReportBuffer[kAccelZByte];
  }
}

void PollRemote(int32_t timeout_ms) {
  TakeRemoteReport(ReadInputReport(timeout_ms));
}

ReadDeadline ReadReplyDeadline() {
  return Clock::now() + std::chrono::milliseconds(kReadReplyTimeoutMs);
}

bool AwaitReadAnswer(ReadDeadline deadline, RegisterAnswer& answer) {
  bool waited_long = false;
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now())
            .count();
    // Past its first slice, or a read that came back empty, a wait is long,
    // and Escape must still end it: the console is looked at too, also
    // while a remote keeps sending other reports. A prompt answer leaves
    // the console to the scan's look once per pass.
    if (left <= kReadReplyTimeoutMs - kQuitCheckSliceMs) waited_long = true;
    if (waited_long ? QuitRequestedLookingAtConsole()
                    : QuitRequestedWithoutConsole()) {
      return false;
    }
    if (left <= 0) return false;  // unanswered
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
    if (id == kStatusReport) {
      TakeStatus(length);
      continue;
    }
    if (id != kReadReplyReport) continue;   // acknowledgements and the like
    if (length < kAnswerDataEnd) continue;  // cut short: not an answer
    answer.error = InputReportBuffer[kAnswerSizeErrorByte] & kAnswerErrorBits;
    answer.address_middle = InputReportBuffer[kAnswerAddressMiddleByte];
    answer.address_register = InputReportBuffer[kAnswerAddressRegisterByte];
    answer.data[0] = InputReportBuffer[kAnswerDataByte];
    answer.data[1] = InputReportBuffer[kAnswerDataByte + 1];
    return true;
  }
}
