// zolmek --service: the console program's remote session (report mode and
// probe, LEDs, detection, scan, the quiet ending) inside a loop that never
// gives up. It waits for a remote without polling, comes back after every
// drop, and logs one line per event, never a key. The keyboard device and
// the key sound stay open for the whole run, so the desktop sees one
// keyboard that never goes away.
#include "app/service.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/quit_policy.h"
#include "app/run_setup.h"
#include "base/console.h"
#include "base/log.h"
#include "base/quit.h"
#include "base/service_notify.h"
#include "base/stop.h"
#include "host/host_output.h"
#include "host/keymap.h"
#include "keypad/keypad.h"
#include "remote/remote_link.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long a wait sleeps before it looks at the stop and reload requests:
// SIGTERM ends the run within about this much.
constexpr int kWaitSliceMs = 200;
// A remote that does not answer the probe is probed again after this;
// one without a keypad is looked at again after this.
constexpr int kProbeRetryMs = 1000;
constexpr int kDetectRetryMs = 3000;
// The battery is asked for at each connection and this often after.
constexpr auto kBatteryPeriod = std::chrono::minutes(10);
constexpr int kLowBatteryPercent = 10;

const ServiceFiles* files = nullptr;

// --- Reloading (SIGHUP)
// -------------------------------------------------------

void ApplyReload() {
  if (!reload_requested.exchange(false)) return;
  ReloadKeySound();
  std::vector<std::string> errors;
  if (ReloadKeymap(files->keymap, KeypadKeymapLayout(), errors)) {
    LogLine(LogLevel::kInfo, "reloaded the key sound and the key map");
    return;
  }
  for (const std::string& error : errors) {
    LogLine(LogLevel::kWarning, "%s", error.c_str());
  }
  LogLine(LogLevel::kWarning,
          "reloaded the key sound; the key map in use stays (the new one "
          "is wrong)");
}

// --- Battery
// -------------------------------------------------------------------

// What the session knows of the remote's status reports.
struct StatusWatch {
  uint32_t reports_seen = 0;
  Clock::time_point asked_at;
  bool warned_low = false;
};
StatusWatch status;

void AskForStatus() {
  RequestStatus();
  status.asked_at = Clock::now();
}

// A status report that came in (asked for, or sent by the remote when an
// extension is plugged in or out) is logged, and the report mode set again:
// after one the remote sends no button reports until it is.
void TakeNewStatus() {
  const uint32_t reports = remote_status.reports.load();
  if (reports != status.reports_seen) {
    status.reports_seen = reports;
    const int percent = BatteryPercent(remote_status.battery_level.load());
    LogLine(LogLevel::kInfo, "battery %d %%", percent);
    if (percent < kLowBatteryPercent && !status.warned_low) {
      LogLine(LogLevel::kWarning, "the remote's battery is low (%d %%)",
              percent);
      status.warned_low = true;
    }
    SetReportModeButtons();
  }
  if (Clock::now() - status.asked_at >= kBatteryPeriod) AskForStatus();
}

// --- Waiting
// ---------------------------------------------------------------------

// Sleeps for `ms`, ending early on a stop; a reload asked for meanwhile is
// done on the way.
void Pause(int ms) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  while (!stop_requested && Clock::now() < end) {
    ApplyReload();
    std::this_thread::sleep_for(std::chrono::milliseconds(kWaitSliceMs));
  }
}

// Waits `ms` with the remote connected, reading what it sends: a read that
// fails says the remote is gone, and a status report is taken.
void WaitConnected(int ms) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  while (!QuitRequestedWithoutConsole() && Clock::now() < end) {
    ApplyReload();
    TakeNewStatus();
    PollRemote(kWaitSliceMs);
  }
}

// Until a remote may have come, or a stop: the transport watches for it
// (udev on Linux, device notifications on Windows) and costs nothing
// meanwhile; where it cannot, a look a second.
void WaitForRemote() {
  while (!stop_requested) {
    ApplyReload();
    const int32_t arrived = WaitForHidDevice(kRemoteVendorId, 0, kWaitSliceMs);
    if (arrived > 0) return;
    if (arrived < 0) {
      Pause(1000);
      return;
    }
  }
}

// --- One connection
// -----------------------------------------------------------------

void ScanBetweenPasses() {
  ApplyReload();
  TakeNewStatus();
}

void TypeNewKey(int position) {
  // Typed and confirmed, never printed: a log of keys is a keylogger.
  TypeKeyAt(position, KeyTable[position]);
  PlayKeySound();
}

bool ProbeUntilAlive() {
  bool told = false;
  for (;;) {
    StartProbeReader();
    SetReportModeAccel();
    const bool alive = ProbeRemote();
    StopProbeReader();
    if (alive) return true;
    if (QuitRequestedWithoutConsole()) return false;
    if (!told) {
      LogLine(LogLevel::kWarning,
              "the remote does not answer; trying again every second");
      told = true;
    }
    WaitConnected(kProbeRetryMs);
    if (QuitRequestedWithoutConsole()) return false;
  }
}

void RunKeypadUntilLostOrStopped() {
  SetReportModeButtons();
  SetLeds(kAllPlayerLeds);
  status = StatusWatch();
  status.reports_seen = remote_status.reports.load();
  AskForStatus();
  bool told_missing = false;
  while (!QuitRequestedWithoutConsole()) {
    if (DetectKeypad(/*show_dots=*/false)) {
      LogLine(LogLevel::kInfo, "keypad found");
      ScanKeypadWith({TypeNewKey, nullptr, ScanBetweenPasses});
      return;
    }
    if (QuitRequestedWithoutConsole()) return;
    if (!told_missing) {
      LogLine(LogLevel::kWarning,
              "no keypad answers behind the remote; looking again every %d s",
              kDetectRetryMs / 1000);
      told_missing = true;
    }
    WaitConnected(kDetectRetryMs);
  }
}

void RunSession(uint16_t product_id) {
  char path[ZOLMEK_HID_TEXT_SIZE] = "";
  GetHidDevicePath(remote_handle, path, sizeof path);
  LogLine(LogLevel::kInfo, "remote %04X:%04X connected at %s", kRemoteVendorId,
          product_id, path);
  const bool alive = ProbeUntilAlive();
  if (alive) RunKeypadUntilLostOrStopped();
  if (remote_lost) {
    LogLine(LogLevel::kWarning, "the remote is gone");
    return;
  }
  // Stopped: the remote is left as the console program leaves it.
  if (alive) {
    SetLeds(PlayerLed(1));
    ReleaseExpander();
  }
  SetReportModeButtons();
}

// Logs what the transport said of its last open, once per change: a remote
// that is there but cannot be opened is tried at every device event, and
// must not fill the log.
void LogTransportNote(std::string& last_note) {
  char note[ZOLMEK_HID_TEXT_SIZE] = "";
  GetHidNote(note, sizeof note);
  const char* text = note;
  if (std::strncmp(text, "zolmek: ", 8) == 0) text += 8;
  if (last_note != text && text[0] != '\0') {
    LogLine(LogLevel::kWarning, "%s", text);
  }
  last_note = text;
}

}  // namespace

int RunService(const ServiceFiles& service_files) {
  files = &service_files;
  InstallServiceQuitPolicy();
  LoadKeySound();
  if (const char* problem = OpenKeystrokeDevice()) {
    LogLine(LogLevel::kError, "%s", problem);
  }
  NotifyServiceReady();
  LogLine(LogLevel::kInfo, "started; key sound: %s; key map: %s",
          files->sound_description.c_str(), files->keymap_description.c_str());
  bool told_waiting = false;
  std::string last_note;
  while (!stop_requested) {
    ApplyReload();
    remote_lost = false;
    uint16_t product_id = kRemoteProductId;
    remote_handle = OpenHidHandle(kRemoteVendorId, product_id);
    LogTransportNote(last_note);
    if (remote_handle == -1) {
      product_id = kRemotePlusProductId;
      remote_handle = OpenHidHandle(kRemoteVendorId, product_id);
      if (remote_handle != -1) LogTransportNote(last_note);
    }
    if (remote_handle == -1) {
      if (!told_waiting) LogLine(LogLevel::kInfo, "waiting for a remote");
      told_waiting = true;
      WaitForRemote();
      continue;
    }
    told_waiting = false;
    RunSession(product_id);
    CloseHidHandle(remote_handle);
    remote_handle = -1;
  }
  LogLine(LogLevel::kInfo, "stopping");
  NotifyServiceStopping();
  CloseKeystrokeDevice();
  CloseKeySoundPlayer();
  return 0;
}
