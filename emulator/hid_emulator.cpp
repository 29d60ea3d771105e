// The emulated remote behind the transport functions. One process-wide
// device: a RemoteModel guarded by a mutex, a condition variable for blocked
// readers and waiters, the output log, and the open handles.
//
// When the scenario's remote comes back after a disconnect, every handle
// opened before stays dead (reads and writes fail) until it is closed, as a
// real device's old handle does; OpenHidHandle then gives a new one.
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "emulator/emulator_control.h"
#include "emulator/remote_model.h"
#include "emulator/scenario.h"
#include "transport/zolmek_hid.h"

namespace zolmek_emulator {
namespace {

int64_t Nanoseconds(TimePoint t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             t.time_since_epoch())
      .count();
}

struct Device {
  std::mutex mutex;
  std::condition_variable changed;

  bool started = false;          // the first open has run
  bool scenario_loaded = false;  // by LoadScenarioText or from the file
  bool scenario_failed = false;  // the scenario file was unusable
  RemoteModel model;

  std::vector<std::string> log;
  std::vector<int64_t> log_times;
  std::FILE* log_file = nullptr;

  std::set<HidHandle> open_handles;
  std::set<HidHandle> dead_handles;  // opened before the remote went away
  int announced_connection = 0;      // the last WaitForHidDevice said 1 for
  int64_t opened_ns = 0;
  int64_t key_reply_ns = 0;
};

// Never destroyed: a reader thread may still be blocked at process exit.
Device& TheDevice() {
  static Device* device = new Device();
  return *device;
}

// Reads and parses the scenario file named by ZOLMEK_EMU_SCENARIO. Prints
// the reason and returns false when it cannot be used.
bool LoadScenarioFromEnvironment(Device& d) {
  const char* path = std::getenv("ZOLMEK_EMU_SCENARIO");
  if (path == nullptr || *path == '\0') return true;
  ScenarioParseResult loaded = LoadScenarioFile(path);
  if (!loaded.ok()) {
    std::fprintf(stderr, "zolmek emulator: %s: %s\n", path,
                 loaded.Message().c_str());
    return false;
  }
  d.model = RemoteModel(std::move(loaded.scenario));
  return true;
}

void OpenLogFile(Device& d) {
  const char* path = std::getenv("ZOLMEK_EMU_LOG");
  if (path == nullptr || *path == '\0') return;
  d.log_file = std::fopen(path, "w");
  if (d.log_file == nullptr) {
    std::fprintf(stderr, "zolmek emulator: %s: cannot write: %s\n", path,
                 std::strerror(errno));
  }
}

void AppendLog(Device& d, const std::string& line, TimePoint at) {
  d.log.push_back(line);
  d.log_times.push_back(Nanoseconds(at));
  if (d.log_file != nullptr) {
    std::fprintf(d.log_file, "%s\n", line.c_str());
    std::fflush(d.log_file);
  }
}

void EnsureStarted(Device& d) {
  if (d.started) return;
  d.started = true;
  if (!d.scenario_loaded) {
    d.scenario_loaded = true;
    d.scenario_failed = !LoadScenarioFromEnvironment(d);
  }
  OpenLogFile(d);
}

// Whether these ids (0: any) find the scenario's remote.
bool IsOurRemote(const Device& d, uint16_t vendor_id, uint16_t product_id) {
  const uint16_t own_product_id =
      d.model.scenario().plus ? kRemotePlusProductId : kRemoteProductId;
  return !d.scenario_failed && !d.model.scenario().no_remote &&
         (vendor_id == 0 || vendor_id == kRemoteVendorId) &&
         (product_id == 0 || product_id == own_product_id);
}

// Brings the remote back when its time has come; the old handles die.
void ComeBack(Device& d, TimePoint now) {
  if (!d.model.Reconnect(now)) return;
  d.dead_handles.merge(d.open_handles);
  d.open_handles.clear();
}

// An answer to a read of the expander's input registers whose column bits
// show a closed switch.
bool CarriesClosedSwitch(const std::vector<uint8_t>& r) {
  return r.size() >= kAnswerDataByte + 2 && r[0] == kReadReplyReport &&
         (r[kAnswerSizeErrorByte] & kAnswerErrorBits) == kErrorNone &&
         r[kAnswerAddressMiddleByte] == kReadAddressMiddle &&
         r[kAnswerAddressRegisterByte] == kInputRegister &&
         (r[kAnswerDataByte + 1] & kColumnBits) != kColumnBits;
}

// Waits for the next input report; timeout_ms < 0 waits without limit.
int32_t Read(HidHandle h, uint8_t* buffer, uint32_t* read_count,
             int32_t timeout_ms) {
  if (read_count != nullptr) *read_count = 0;
  if (buffer == nullptr) return -1;
  Device& d = TheDevice();
  std::unique_lock lock(d.mutex);
  const TimePoint deadline =
      Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  for (;;) {
    if (!d.open_handles.contains(h)) return -1;
    const TimePoint now = Clock::now();
    if (auto report = d.model.PopDue(now)) {
      const size_t length =
          std::min<size_t>(report->bytes.size(), ZOLMEK_HID_BUFFER_SIZE);
      std::copy_n(report->bytes.begin(), length, buffer);
      if (CarriesClosedSwitch(report->bytes)) {
        d.key_reply_ns = Nanoseconds(Clock::now());
      }
      if (read_count != nullptr) *read_count = static_cast<uint32_t>(length);
      return static_cast<int32_t>(length);
    }
    if (d.model.IsGone(now)) return -1;
    if (timeout_ms >= 0 && now >= deadline) return 0;

    std::optional<TimePoint> wake = d.model.NextEventTime();
    if (timeout_ms >= 0 && (!wake || deadline < *wake)) wake = deadline;
    if (wake) {
      d.changed.wait_until(lock, *wake);
    } else {
      d.changed.wait(lock);
    }
  }
}

}  // namespace

std::string LoadScenarioText(const std::string& text) {
  ScenarioParseResult parsed = ParseScenario(text);
  if (!parsed.ok()) return parsed.Message();
  Device& d = TheDevice();
  {
    std::lock_guard lock(d.mutex);
    d.model = RemoteModel(std::move(parsed.scenario));
    d.scenario_loaded = true;
    d.scenario_failed = false;
    d.log.clear();
    d.log_times.clear();
    d.open_handles.clear();
    d.dead_handles.clear();
    d.announced_connection = 0;
    d.opened_ns = 0;
    d.key_reply_ns = 0;
  }
  d.changed.notify_all();
  return "";
}

std::vector<std::string> OutputLog() {
  Device& d = TheDevice();
  std::lock_guard lock(d.mutex);
  return d.log;
}

std::vector<int64_t> OutputLogTimes() {
  Device& d = TheDevice();
  std::lock_guard lock(d.mutex);
  return d.log_times;
}

void InjectReport(const std::vector<uint8_t>& report, int delay_ms) {
  Device& d = TheDevice();
  {
    std::lock_guard lock(d.mutex);
    d.model.Inject(report, Clock::now() + std::chrono::milliseconds(delay_ms));
  }
  d.changed.notify_all();
}

Timestamps GetTimestamps() {
  Device& d = TheDevice();
  std::lock_guard lock(d.mutex);
  Timestamps t;
  t.opened = d.opened_ns;
  if (auto first = d.model.first_scan_read()) {
    t.first_scan_read = Nanoseconds(*first);
  }
  t.key_reply = d.key_reply_ns;
  return t;
}

}  // namespace zolmek_emulator

using zolmek_emulator::Clock;
using zolmek_emulator::Device;
using zolmek_emulator::TheDevice;

extern "C" {

ZOLMEK_HID_EXPORT HidHandle ZOLMEK_HID_CALL OpenHidHandle(uint16_t vendor_id,
                                                          uint16_t product_id) {
  Device& d = TheDevice();
  std::lock_guard lock(d.mutex);
  zolmek_emulator::EnsureStarted(d);
  // Only a remote's own ids open it, not the wildcard 0.
  if (vendor_id == 0 || product_id == 0 ||
      !zolmek_emulator::IsOurRemote(d, vendor_id, product_id)) {
    return -1;
  }
  const auto now = Clock::now();
  zolmek_emulator::ComeBack(d, now);
  if (d.model.IsGone(now)) return -1;
  HidHandle handle = 0;
  while (d.open_handles.contains(handle) || d.dead_handles.contains(handle)) {
    ++handle;
  }
  if (d.open_handles.empty()) d.model.DiscardArrived(now);
  d.open_handles.insert(handle);
  d.opened_ns = zolmek_emulator::Nanoseconds(Clock::now());
  return handle;
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL WaitForHidDevice(uint16_t vendor_id,
                                                           uint16_t product_id,
                                                           int32_t timeout_ms) {
  Device& d = TheDevice();
  std::unique_lock lock(d.mutex);
  zolmek_emulator::EnsureStarted(d);
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  for (;;) {
    const auto now = Clock::now();
    const bool ours = zolmek_emulator::IsOurRemote(d, vendor_id, product_id);
    if (ours) {
      zolmek_emulator::ComeBack(d, now);
      // Once per connection, the first one included.
      if (!d.model.IsGone(now) &&
          d.announced_connection != d.model.connection()) {
        d.announced_connection = d.model.connection();
        return 1;
      }
    }
    if (timeout_ms >= 0 && now >= deadline) return 0;
    std::optional<zolmek_emulator::TimePoint> wake;
    if (ours) wake = d.model.ReturnTime();
    if (timeout_ms >= 0 && (!wake || deadline < *wake)) wake = deadline;
    if (wake) {
      d.changed.wait_until(lock, *wake);
    } else {
      d.changed.wait(lock);
    }
  }
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL GetHidNote(char* buffer,
                                                     int32_t size) {
  // The emulated remote always opens when it is there.
  if (buffer == nullptr || size < 1) return -1;
  buffer[0] = '\0';
  return 0;
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL GetHidDevicePath(HidHandle h,
                                                           char* buffer,
                                                           int32_t size) {
  static const char kPath[] = "emulator";
  Device& d = TheDevice();
  std::lock_guard lock(d.mutex);
  if ((!d.open_handles.contains(h) && !d.dead_handles.contains(h)) ||
      buffer == nullptr || size < static_cast<int32_t>(sizeof kPath)) {
    return -1;
  }
  std::memcpy(buffer, kPath, sizeof kPath);
  return static_cast<int32_t>(sizeof kPath - 1);
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL WriteReport(HidHandle h,
                                                      const uint8_t* buffer,
                                                      uint32_t* write_count) {
  if (write_count != nullptr) *write_count = 0;
  if (buffer == nullptr) return -1;
  Device& d = TheDevice();
  size_t length = 0;
  {
    std::lock_guard lock(d.mutex);
    if (!d.open_handles.contains(h)) return -1;
    const std::span<const uint8_t> report(buffer, ZOLMEK_HID_BUFFER_SIZE);
    const auto now = Clock::now();
    length = d.model.HandleOutputReport(report, now);
    if (length == 0) return -1;
    zolmek_emulator::AppendLog(
        d, zolmek_emulator::FormatReport(report.first(length)), now);
  }
  d.changed.notify_all();
  if (write_count != nullptr) *write_count = static_cast<uint32_t>(length);
  return static_cast<int32_t>(length);
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL ReadReport(HidHandle h,
                                                     uint8_t* buffer,
                                                     uint32_t* read_count) {
  return zolmek_emulator::Read(h, buffer, read_count, -1);
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL ReadReportTimeout(
    HidHandle h, uint8_t* buffer, uint32_t* read_count, int32_t timeout_ms) {
  return zolmek_emulator::Read(h, buffer, read_count, timeout_ms);
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL CloseHidHandle(HidHandle h) {
  Device& d = TheDevice();
  {
    std::lock_guard lock(d.mutex);
    // Said out loud: a program that closes its handle twice, or one it
    // never had, shows on stderr, which the tests compare.
    if (d.open_handles.erase(h) == 0 && d.dead_handles.erase(h) == 0) {
      std::fprintf(stderr, "zolmek emulator: CloseHidHandle(%d): not open\n",
                   static_cast<int>(h));
      return -1;
    }
    // A hostile remote says what it sent, once the program is done with it.
    if (d.model.scenario().garbage) {
      std::fprintf(stderr, "zolmek emulator: %s\n",
                   d.model.GarbageSummary(Clock::now()).c_str());
    }
  }
  d.changed.notify_all();
  return 0;
}

}  // extern "C"
