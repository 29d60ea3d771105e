// The keys a terminal sends, read one byte at a time. Most keys are one
// byte; those without a byte of their own (arrows, function keys, Delete)
// come as an escape sequence, ESC '[' ... final byte or ESC 'O' byte, and
// Alt+key as ESC and the key's byte. A lone Escape looks like the start of
// a sequence until the next byte, or until no next byte comes: the reader
// decides that with a short wait (EndPendingEscape).
#pragma once

#include <cstddef>

enum class TerminalKey {
  kNone,        // the byte is part of a sequence not yet complete
  kByte,        // an ordinary key: `byte`
  kSequence,    // an escape sequence: TerminalKeyParse::sequence
  kAltKey,      // ESC and an ordinary key
  kLoneEscape,  // an Escape that nothing followed but another Escape
};

struct TerminalKeyParse {
  enum class State { kNormal, kAfterEscape, kInCsi, kAfterSs3 };
  State state = State::kNormal;
  // The sequence after ESC, introducer first ("[3~" for Delete, "OP" for
  // F1); a longer one is cut, since no key the readers care for is.
  char sequence[16] = {};
  size_t length = 0;
};

// Takes one byte; says what it completed.
TerminalKey FeedTerminalKeyByte(TerminalKeyParse& parse, unsigned char byte);

// An Escape was the last byte and nothing followed it in time: it was a key
// of its own. kLoneEscape then, else kNone.
TerminalKey EndPendingEscape(TerminalKeyParse& parse);
