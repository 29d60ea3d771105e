// The emulated Wii Remote with a keypad behind a two-port I/O expander on its
// register bus. The model is passive: it takes output reports together with
// the current time and schedules the input reports the remote answers with,
// each with the moment it is due. It owns no threads and never blocks, so any
// front end (the in-process HID library, a uhid program, unit tests) can
// drive it with its own clock and its own waiting.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/scenario.h"
#include "protocol/keypad.h"
#include "protocol/wii_remote.h"

namespace zolmek_emulator {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// Like the kernel's hidraw buffer: reports that arrived but were not read
// yet; past this the oldest are dropped.
inline constexpr size_t kMaxArrivedReports = 64;

// Uppercase hex bytes separated by single spaces ("12 00 31").
std::string FormatReport(std::span<const uint8_t> bytes);

struct InputReport {
  std::vector<uint8_t> bytes;  // report id first
  TimePoint due;               // when the host receives it
};

class RemoteModel {
 public:
  explicit RemoteModel(Scenario scenario = Scenario());

  const Scenario& scenario() const { return scenario_; }

  // Takes one output report (at least its own length of bytes, id first)
  // received at `now` and schedules the answers. Returns the report's
  // length, or 0 when the id is unknown, the report is too short or the
  // device is gone; nothing changes then.
  size_t HandleOutputReport(std::span<const uint8_t> report, TimePoint now);

  // Schedules an arbitrary input report.
  void Inject(std::vector<uint8_t> bytes, TimePoint due);

  // The earliest report due at or before `now`, removed from the queue.
  std::optional<InputReport> PopDue(TimePoint now);

  // The earliest moment after which PopDue or IsGone may give a new answer:
  // the next scheduled report, the next stream report or the disconnect.
  // Empty when nothing will ever happen without a new output report.
  std::optional<TimePoint> NextEventTime() const;

  // True once the remote has disconnected (see the `disconnect` directive),
  // until Reconnect brings it back. Reports scheduled up to that moment can
  // still be popped.
  bool IsGone(TimePoint now) const;

  // When the remote that went away, or is about to, can be opened again;
  // empty when it is not going or gone for good.
  std::optional<TimePoint> ReturnTime() const { return back_at_; }

  // Once the return time has come, makes the remote a freshly powered one
  // (report mode 0x30, LEDs off, the expander's power-up registers, keys up,
  // nothing queued) and begins the next connection: counts of read requests
  // and scan passes start again from 1. True when it did.
  bool Reconnect(TimePoint now);

  // The connection, from 1: how many times the remote has been there.
  int connection() const { return connection_; }

  // Drops every report that has arrived by `now` without being read, as a
  // fresh open of the device starts with an empty buffer.
  void DiscardArrived(TimePoint now);

  // --- Live input, for interactive front ends ---------------------------
  // Closes or opens the switch at a key position (1..24) from now on.
  void SetKeyClosed(int position, bool closed);
  // Presses or releases the Home button; a change is reported at `now`.
  void SetHome(bool down, TimePoint now);
  // Pulls the remote away now; it can be opened again `back_after` later.
  void Disconnect(TimePoint now, std::chrono::milliseconds back_after);

  // --- State, for tests and front ends ---------------------------------
  // An expander register; 0 and 1 give the pin levels the chip reads.
  uint8_t ExpanderRegister(int index) const;
  uint8_t PortALevel() const;
  uint8_t PortBLevel() const;
  uint8_t leds() const { return leds_; }
  // The time of the read request that began pass 1.
  std::optional<TimePoint> first_scan_read() const { return first_scan_read_; }

  // --- The hostile remote (scenario line `garbage PASS SEED`) ----------
  // From the read request that begins scan pass PASS on, every read request
  // is answered by garbage or not at all, and between them come reports
  // nobody asked for, one a millisecond on average: any id, any length up to
  // 256 bytes, now and then a burst of 0x21 answers with random addresses and
  // error codes. What each tick and each request gets follows from the seed
  // and its own number alone, so a run can be replayed. The button bytes of
  // the remote's own report ids stay true: the garbage never presses Home.
  //
  // "garbage from scan pass 5 (seed 7): 60345 reports in 60.0 s", or
  // "... never began", for a front end to say as it ends.
  std::string GarbageSummary(TimePoint now) const;

 private:
  void Schedule(std::vector<uint8_t> bytes, TimePoint due);
  void AdvanceStream(TimePoint now);
  void TrimArrived(TimePoint now);
  void StartStream(TimePoint now);
  void HandleRegisterWrite(std::span<const uint8_t> report, TimePoint now);
  void HandleReadRequest(std::span<const uint8_t> report, TimePoint now);
  void ApplyPassEvents(int pass, TimePoint due);
  void GoAway(TimePoint at,
              std::optional<std::chrono::milliseconds> back_after);
  void SendStatus(TimePoint due);
  void SetButtonByte2(uint8_t value, TimePoint due);
  bool AnswersError7(int request, uint8_t device) const;
  std::vector<uint8_t> ReadReply(uint8_t size_code, uint8_t error,
                                 uint8_t address_high, uint8_t address_low,
                                 std::span<const uint8_t> data) const;
  std::vector<uint8_t> StreamReport(bool first) const;
  void AdvanceGarbage(TimePoint now);
  void AnswerWithGarbage(int request, TimePoint due);

  Scenario scenario_;
  std::array<uint8_t, kExpanderRegisters> registers_{};
  std::array<bool, kKeyPositions + 1> closed_{};
  std::array<uint8_t, 2> buttons_{};
  uint8_t leds_ = 0;
  uint8_t report_mode_ = kButtonsReport;
  // A status report stops every data report until the mode is set again.
  bool data_reports_ = true;
  int connection_ = 1;
  int read_requests_ = 0;
  int passes_ = 0;
  std::optional<TimePoint> first_scan_read_;
  std::optional<TimePoint> gone_at_;
  std::optional<TimePoint> back_at_;
  // Sorted by due time; equal times keep their scheduling order.
  std::deque<InputReport> queue_;
  // The 0x31 stream: the due time of its next report, and whether that
  // report is the first one after the mode switch.
  std::optional<TimePoint> next_stream_report_;
  bool next_stream_report_is_first_ = false;
  // The hostile remote: when it began, its next tick and that tick's number.
  std::optional<TimePoint> garbage_since_;
  std::optional<TimePoint> next_garbage_;
  uint64_t garbage_tick_ = 0;
  uint64_t reports_since_garbage_ = 0;
};

}  // namespace zolmek_emulator
