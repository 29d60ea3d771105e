// The emulated remote's scenario: how the device behaves during one run
// (absent, silent, slow, losing replies, keys pressed at given scan passes).
// A scenario is written as text, one directive per line; ParseScenario turns
// that text into a Scenario value.
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
  int position = 0;  // key position 1..24 for kPress / kRelease, else 0
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
  std::optional<int> disconnect_after;  // request whose answer is the last
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
