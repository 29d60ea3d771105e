// Control interface of the emulated Wii Remote, for tests that link the
// emulator library in-process. The running program never sees this: it only
// calls the transport functions of zolmek_hid.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transport/zolmek_hid.h"

namespace zolmek_emulator {

// Replaces the scenario with one given as text (same syntax as the scenario
// file) and resets the whole model: registers, pass counter, report queue,
// output log, timestamps. Returns an empty string on success, else the
// first error ("line 3: unknown word 'foo'"). Call it before OpenHidHandle.
ZOLMEK_HID_EXPORT std::string LoadScenarioText(const std::string& text);

// Every output report received so far, one line each: uppercase hex bytes
// separated by single spaces, the report's own length (0x11: 2, 0x12: 3,
// 0x16: 22, 0x17: 7 bytes).
ZOLMEK_HID_EXPORT std::vector<std::string> OutputLog();

// When each of them arrived, in std::chrono::steady_clock nanoseconds since
// its epoch: for tests of the pauses between reports.
ZOLMEK_HID_EXPORT std::vector<int64_t> OutputLogTimes();

// Queues one raw input report for delivery delay_ms from now, whatever the
// model would send. For tests of the report-reading code.
ZOLMEK_HID_EXPORT void InjectReport(const std::vector<uint8_t>& report,
                                    int delay_ms = 0);

// Moments, in std::chrono::steady_clock nanoseconds since its epoch, for
// benchmarks. 0 when the event has not happened.
struct Timestamps {
  int64_t opened = 0;           // OpenHidHandle returned a handle
  int64_t first_scan_read = 0;  // first 0x17 request while row 0 (0xFC) drives
  int64_t key_reply = 0;        // latest 0x21 reply handed to a reader that
                                // carried a closed switch
};
ZOLMEK_HID_EXPORT Timestamps GetTimestamps();

}  // namespace zolmek_emulator
