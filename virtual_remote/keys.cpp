#include "virtual_remote/keys.h"

#include <string_view>

#include "emulator/scenario.h"
#include "protocol/keypad.h"

namespace zolmek_remote {
namespace {

using zolmek_emulator::KeyPositionOfCharacter;

// The keypad's blank positions, in table order, take these letters ('e' is
// Enter, 'h' Home, 'n' Delete, 'q' quit, 'r' reconnect).
constexpr char kBlankLetters[] = "abcdfgi";

constexpr char kTab = '\t';
constexpr char kCtrlC = '\x03';

int PositionOfComputerKey(char c) {
  for (int position = 1; position <= kKeyPositions; ++position) {
    if (ComputerKeyForPosition(position) == c) return position;
  }
  switch (c) {
    case 'e':
    case '\r':
    case '\n':
      return KeyPositionOfCharacter('E');
    case 'n':
    case '\x7f':  // Backspace, the Delete of many keyboards' corner
      return KeyPositionOfCharacter('N');
    default:
      return 0;
  }
}

}  // namespace

char ComputerKeyForPosition(int position) {
  if (position < 1 || position > kKeyPositions) return '\0';
  const char printed = KeyTable[position];
  if (printed != ' ') return printed;
  int blank = 0;
  for (int p = 1; p < position; ++p) blank += KeyTable[p] == ' ';
  return kBlankLetters[blank];
}

std::vector<KeyAction> KeyParser::Feed(const char* bytes, size_t count) {
  std::vector<KeyAction> actions;
  for (size_t i = 0; i < count; ++i) {
    const char c = bytes[i];
    switch (FeedTerminalKeyByte(parse_, static_cast<unsigned char>(c))) {
      case TerminalKey::kByte:
        if (c == 'q' || c == kCtrlC) {
          actions.push_back({KeyAction::Kind::kQuit});
        } else if (c == kTab) {
          actions.push_back({KeyAction::Kind::kHoldNext});
        } else if (c == 'h') {
          actions.push_back({KeyAction::Kind::kHome});
        } else if (c == 'r') {
          actions.push_back({KeyAction::Kind::kReconnect});
        } else if (const int position = PositionOfComputerKey(c)) {
          actions.push_back({KeyAction::Kind::kTap, position});
        }
        break;
      case TerminalKey::kSequence:
        if (std::string_view(parse_.sequence) == "[3~") {  // Delete
          actions.push_back(
              {KeyAction::Kind::kTap, KeyPositionOfCharacter('N')});
        }
        break;
      default:  // Alt+key, a lone Escape, a sequence not yet complete
        break;
    }
  }
  return actions;
}

std::string HelpText() {
  std::string text =
      "zolmek-remote: the keypad's keys on this keyboard (E: Enter or e, "
      "N: n or Delete;\nletters stand for the blank positions):\n";
  for (int row = 0; row < kKeypadRows; ++row) {
    text += "   ";
    for (int column = 0; column < kKeypadColumns; ++column) {
      text += ' ';
      text += ComputerKeyForPosition(KeyPosition(row, column));
    }
    text += '\n';
  }
  text +=
      "A key stays down for 0.2 s; Tab then a key holds it until typed again.\n"
      "h: Home button   r: pull the remote and plug it back   "
      "q or Ctrl+C: quit\n";
  return text;
}

}  // namespace zolmek_remote
