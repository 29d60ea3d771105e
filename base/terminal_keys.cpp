#include "base/terminal_keys.h"

constexpr unsigned char kEscapeByte = 0x1B;

static void Append(TerminalKeyParse& parse, unsigned char byte) {
  if (parse.length + 1 < sizeof parse.sequence) {
    parse.sequence[parse.length++] = static_cast<char>(byte);
    parse.sequence[parse.length] = '\0';
  }
}

TerminalKey FeedTerminalKeyByte(TerminalKeyParse& parse, unsigned char byte) {
  using State = TerminalKeyParse::State;
  switch (parse.state) {
    case State::kNormal:
      if (byte != kEscapeByte) return TerminalKey::kByte;
      parse.state = State::kAfterEscape;
      return TerminalKey::kNone;
    case State::kAfterEscape:
      parse.length = 0;
      parse.sequence[0] = '\0';
      if (byte == '[' || byte == 'O') {
        Append(parse, byte);
        parse.state = byte == '[' ? State::kInCsi : State::kAfterSs3;
        return TerminalKey::kNone;
      }
      // Another Escape: the first stood alone; this one may start anything.
      if (byte == kEscapeByte) return TerminalKey::kLoneEscape;
      parse.state = State::kNormal;
      return TerminalKey::kAltKey;
    case State::kInCsi:
      Append(parse, byte);
      if (byte < 0x40 || byte > 0x7E) return TerminalKey::kNone;
      parse.state = State::kNormal;
      return TerminalKey::kSequence;
    case State::kAfterSs3:
      Append(parse, byte);
      parse.state = State::kNormal;
      return TerminalKey::kSequence;
  }
  return TerminalKey::kNone;
}

TerminalKey EndPendingEscape(TerminalKeyParse& parse) {
  if (parse.state != TerminalKeyParse::State::kAfterEscape) {
    return TerminalKey::kNone;
  }
  parse.state = TerminalKeyParse::State::kNormal;
  return TerminalKey::kLoneEscape;
}
