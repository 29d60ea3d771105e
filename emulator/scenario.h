// The emulated remote's scenario: how the device behaves during one run
// (absent, silent, slow, losing replies, keys pressed at given scan passes,
// going away and coming back). A scenario is written as text, one directive
// per line; ParseScenario turns that text into a Scenario value.
//
// Connections: `disconnect N` ends a connection after its read request N;
// a `reconnect MS` right after it brings the remote back MS milliseconds
// later as a freshly powered one (report mode 0x30, LEDs off, expander
// registers as at power-up, keys up), which starts connection 2, and so
// on: the k-th `disconnect` ends connection k, and a `disconnect` without
// its `reconnect` is the last (zolmek-remote's --reconnect gives each one
// without a `reconnect` its own). Read requests and scan passes are counted
// from 1 in each connection, so every other line applies to each connection
// alike: `lost 3` loses request 3 of every connection, `press 5 3` presses
// 5 when pass 3 of every connection begins. A pass written C:P (`press 5
// 2:3`) is pass P of connection C only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zolmek_emulator {

// The key position (1..24) of a printed key character, 0 when the character
// is not on the keypad or marks no key (space).
int KeyPositionOfCharacter(char c);

// An inclusive range of 1-based counts (read request numbers).
struct CountRange {
  int first = 0;
  int last = 0;
  bool Contains(int n) const { return n >= first && n <= last; }
};

// Something that happens when a given scan pass begins.
struct PassEvent {
  enum class Kind { kPress, kRelease, kHomeDown, kHomeUp };
  Kind kind = Kind::kPress;
  int pass = 0;
  int position = 0;    // key position 1..24 for kPress / kRelease, else 0
  int connection = 0;  // in this connection only (1, 2, ...); 0: in each
};

// The remote goes away after read request `after_request` of a connection
// (its answer is the last report), and can be opened again `reconnect_ms`
// later, or never.
struct Disconnect {
  int after_request = 0;
  std::optional<int> reconnect_ms;
};

struct LateReply {
  CountRange requests;
  int delay_ms = 0;
};

// A remote that turns hostile: from scan pass `from_pass` on it answers
// every read request with garbage and sends unasked-for reports, all drawn
// from `seed` (see RemoteModel).
struct Garbage {
  int from_pass = 0;
  uint64_t seed = 0;
};

struct Scenario {
  bool no_remote = false;  // OpenHidHandle finds nothing
  bool silent = false;     // no input report is ever sent
  bool plus = false;       // a Wii Remote Plus: product id 0x0330
  int interval_ms = 10;    // period of the 0x31 report stream
  int latency_ms = 0;      // delay of every input report the remote sends
  std::optional<uint8_t> first_report_id;  // id of a stream's first report
  std::optional<uint8_t> first_accel_x;    // X of a stream's first report
  std::optional<uint8_t> accel_x;          // X of every stream report
  bool keypad_absent = false;              // device 0xE8 never answers
  // What port A reads whatever it drives: a stuck pin, or another chip at
  // the expander's address.
  std::optional<uint8_t> port_a;
  int keypad_from = 1;  // requests before this number answer error 7
  std::vector<CountRange> error7;
  std::vector<CountRange> lost;
  std::vector<LateReply> late;
  std::vector<CountRange> foreign;
  // The k-th ends connection k; after the last, the remote stays.
  std::vector<Disconnect> disconnects;
  int battery_percent = 80;  // what a status report says
  std::optional<Garbage> garbage;
  std::vector<PassEvent> events;  // in file order
};

// Outcome of ParseScenario: the scenario, or the first error and its line.
struct ScenarioParseResult {
  Scenario scenario;
  int error_line = 0;  // 1-based; 0 when the text parsed or was not read
  std::string error;   // what is wrong on that line, or with the file

  bool ok() const { return error.empty(); }
  // "line 3: unknown word 'foo'", "cannot read: No such file or directory",
  // or "" when the text parsed.
  std::string Message() const;
};

ScenarioParseResult ParseScenario(std::string_view text);

// Reads a scenario file and parses it, for every front end that takes one
// by name (the emulator library, zolmek-remote).
ScenarioParseResult LoadScenarioFile(const std::string& path);

}  // namespace zolmek_emulator
