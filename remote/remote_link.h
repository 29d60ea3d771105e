// The Wii Remote link as zolmek uses it: the remote's handle, the shared
// report buffers and state, the commands the program sends and the input
// it reads back.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "protocol/wii_remote.h"
#include "transport/zolmek_hid.h"

// The one handle of the run; -1 until the remote is open.
extern HidHandle remote_handle;

// Process-wide report buffers, byte 0 the report id. A command fills only
// the bytes it names; the rest keep what earlier commands left.
extern uint8_t OutputReportBuffer[ZOLMEK_HID_BUFFER_SIZE];
extern uint8_t InputReportBuffer[ZOLMEK_HID_BUFFER_SIZE];

// The latest button and accelerometer bytes. accel_x is shared with the
// probe's reader thread while both run, hence atomic.
struct RemoteState {
  uint8_t button_byte_1;
  uint8_t button_byte_2;
  std::atomic<uint8_t> accel_x;
  uint8_t accel_y;
  uint8_t accel_z;
};
extern RemoteState remote_state;

// What the latest status report (0x20) said, and how many have come; the
// count tells a mode that waits for one that it came. Status reports come
// to whichever read takes them, the probe's reader included.
struct RemoteStatus {
  std::atomic<uint8_t> battery_level;  // 0-255
  std::atomic<uint8_t> flags;
  std::atomic<uint32_t> reports;
};
extern RemoteStatus remote_status;

// Set when a read or write reports the remote gone; every wait then ends.
extern std::atomic<bool> remote_lost;

// --- Output reports ---------------------------------------------------------
void SetLeds(uint8_t value);
void SetReportMode(uint8_t flags, uint8_t mode);
void SetReportModeButtons();
void SetReportModeAccel();
void WriteRegisters(uint8_t device, uint8_t count, uint8_t reg, uint8_t byte0,
                    uint8_t byte1);
// Asks for a status report (0x15); the answer (0x20) lands in
// remote_status. The remote then sends no data reports until the report
// mode is set again.
void RequestStatus();
void RequestRegisterRead(uint8_t device, uint8_t count, uint8_t reg);

// --- Input reports ----------------------------------------------------------

// How long a register read may stay unanswered before it counts as lost.
// The remote answers within a few milliseconds.
constexpr int kReadReplyTimeoutMs = 250;
using ReadDeadline = std::chrono::steady_clock::time_point;
// kReadReplyTimeoutMs from now: when the read just requested counts as lost.
ReadDeadline ReadReplyDeadline();

// An answer to a register read (report 0x21), as the remote gave it.
struct RegisterAnswer {
  uint8_t error;  // kErrorNoDevice: nothing at that address
  // The low 16 bits of the address read: the middle byte and the register.
  uint8_t address_middle;
  uint8_t address_register;
  uint8_t data[2];  // the first two data bytes
};

// One read of at most timeout_ms into InputReportBuffer. Returns the
// report's length, 0 when none came in time, -1 when the remote is gone
// (remote_lost is then set).
int32_t ReadRemoteReport(int32_t timeout_ms);
// RemoteState updated from the report of `length` bytes just read (buttons;
// accelerometer too for a 0x31 report), or remote_status from a status
// report.
void TakeRemoteReport(int32_t length);
// The two in one: read, then take.
void PollRemote(int32_t timeout_ms);

// Reads reports until the next answer to a register read, taking the button
// bytes of the button reports and any status report on the way. False when none
// came by `deadline`, the remote went away or a quit was asked for. Which read
// it answers, and what its bytes mean, is for the caller to tell.
bool AwaitReadAnswer(ReadDeadline deadline, RegisterAnswer& answer);

// --- Liveness probe ---------------------------------------------------------
// Starts the probe's reader thread, already reading, just before the report
// mode is set: the first report after the mode change then reaches it at
// once, and the window does not include how long a thread takes to start
// and wake. Reports it reads before this returns predate the mode change
// and do not count.
void StartProbeReader();
// Just over 100 ms from now (the report mode was just set) of listening on
// the reader thread, started here if StartProbeReader was not called: true
// when the first report the reader took after the mode change and by the
// window's end was a 0x31 report with a non-zero accelerometer X.
bool ProbeRemote();
// Ends the probe if it still runs, cuts the reader's pause short and waits
// for the reader to end (its reads are timed to the window, so this takes
// no longer than the window's rest). Safe to call twice.
void StopProbeReader();
// The reader thread's body.
void ProbeReader();
