// zolmek-remote's interactive mode: the computer's keys stand for the
// keypad's keys and the remote's Home button, and one key pulls the remote
// and plugs it back.
//
// A terminal reports key presses but no key releases, so a key typed once
// closes its switch for kTapDuration and then opens it again; typing it again
// while it is down keeps it down for another kTapDuration. To hold a key
// longer, type Tab and then the key: it stays down until it is typed again.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "base/terminal_keys.h"

namespace zolmek_remote {

inline constexpr std::chrono::milliseconds kTapDuration{200};

struct KeyAction {
  enum class Kind { kTap, kHoldNext, kHome, kReconnect, kQuit };
  Kind kind = Kind::kTap;
  int position = 0;  // the key position (1..24) for kTap
};

// Turns what the terminal sends into actions. Keeps the state of an escape
// sequence that a read cut in two.
class KeyParser {
 public:
  std::vector<KeyAction> Feed(const char* bytes, size_t count);

 private:
  TerminalKeyParse parse_;
};

// The computer key that stands for a key position (1..24), as the help
// shows it.
char ComputerKeyForPosition(int position);

// Several lines: the keypad's 4 x 6 layout in computer keys, and the other
// keys.
std::string HelpText();

}  // namespace zolmek_remote
