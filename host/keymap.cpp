#include "host/keymap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "host/host_output.h"

namespace {

// Names echoed in a message are cut to this many bytes: a line may be as
// long as the file.
constexpr size_t kEchoLimit = 32;

std::string Quote(std::string_view text) {
  if (text.size() <= kEchoLimit) return "'" + std::string(text) + "'";
  size_t cut = kEchoLimit;  // not in the middle of a UTF-8 sequence
  while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
  return "'" + std::string(text.substr(0, cut)) + "...'";
}

std::string_view Trim(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

// How many continuation bytes a UTF-8 sequence starting with `lead` has,
// and the range its first one must be in (which rules out overlong forms,
// surrogates and code points past U+10FFFF); -1 for a byte no sequence
// starts with.
int Utf8Continuations(uint8_t lead, uint8_t& low, uint8_t& high) {
  low = 0x80;
  high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    return 2;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    return 3;
  }
  return -1;
}

// Where the text stops being text: a NUL or other control byte (tab, line
// feed, and a carriage return that ends a line are text), or a byte that is
// not UTF-8. std::string_view::npos when it is text throughout.
size_t FindNonText(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t byte = static_cast<uint8_t>(text[i]);
    if (byte < 0x80) {
      const bool line_end =
          byte == '\n' ||
          (byte == '\r' && (i + 1 == text.size() || text[i + 1] == '\n'));
      if ((byte < 0x20 && byte != '\t' && !line_end) || byte == 0x7F) {
        return i;
      }
      continue;
    }
    uint8_t low, high;
    const int count = Utf8Continuations(byte, low, high);
    if (count < 0 || text.size() - i <= static_cast<size_t>(count)) return i;
    for (int k = 1; k <= count; ++k) {
      const uint8_t next = static_cast<uint8_t>(text[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
        return i;
      }
    }
    i += count;
  }
  return std::string_view::npos;
}

// "r<digits>c<digits>", at most 8 characters, no leading zeros.
bool ReadRowColumn(std::string_view text, int& row, int& column) {
  if (text.size() > 8 || text.empty() || text[0] != 'r') return false;
  size_t i = 1;
  const auto digits = [&](int& value) {
    const size_t start = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      value = value * 10 + (text[i] - '0');
    }
    return i > start && (text[start] != '0' || i == start + 1);
  };
  return digits(row) && i < text.size() && text[i++] == 'c' && digits(column) &&
         i == text.size();
}

// A position by row and column ("r2c3") or by its legend ("5"). Returns ""
// with `position` set, or what is wrong.
std::string ParsePosition(std::string_view text, const KeypadLayout& layout,
                          int& position) {
  const int count = layout.rows * layout.columns;
  if (text.size() == 1) {
    int found = 0;
    for (int p = 1; p <= count; ++p) {
      if (layout.legends[p] == text[0]) {
        position = p;
        ++found;
      }
    }
    if (found == 1) return "";
    if (found > 1) {
      return "legend " + Quote(text) + " is on " + std::to_string(found) +
             " positions; name one as rRcC";
    }
  }
  int row = 0, column = 0;
  if (ReadRowColumn(text, row, column)) {
    if (row < layout.rows && column < layout.columns) {
      position = row * layout.columns + column + 1;
      return "";
    }
    return "no position " + std::string(text) + ": rows are 0-" +
           std::to_string(layout.rows - 1) + ", columns 0-" +
           std::to_string(layout.columns - 1);
  }
  return "unknown position or legend " + Quote(text);
}

std::string ParseBinding(std::string_view text, KeyBinding& binding) {
  if (text == "none") {
    binding = {KeyBinding::kNone, {}};
    return "";
  }
  binding.kind = KeyBinding::kChord;
  return ParseKeyChord(text, binding.chord);
}

}  // namespace

std::string ParseKeyChord(std::string_view text, KeyChord& chord) {
  chord = {nullptr, 0};
  for (;;) {
    const size_t plus = text.find('+');
    const std::string_view name = Trim(text.substr(0, plus));
    if (name.empty()) return "an empty name around '+'";
    if (plus == std::string_view::npos) {
      chord.key = FindKeyName(name);
      if (chord.key != nullptr) return "";
      if (name == "none") return "none takes no modifiers";
      std::string lower(name);
      for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
      if (FindKeyName(lower) != nullptr) {
        return "unknown key " + Quote(name) + " (names are lower case)";
      }
      return "unknown key " + Quote(name);
    }
    const ModifierName* modifier = nullptr;
    for (const ModifierName& candidate : kModifierNames) {
      if (name == candidate.name) modifier = &candidate;
    }
    if (modifier == nullptr) {
      return "unknown modifier " + Quote(name) + " (ctrl, shift, alt or meta)";
    }
    if (chord.modifiers & modifier->bit) {
      return "modifier " + Quote(name) + " given twice";
    }
    chord.modifiers |= modifier->bit;
    text.remove_prefix(plus + 1);
  }
}

bool ParseKeymap(std::string_view text, const std::string& file,
                 const KeypadLayout& layout, Keymap& map,
                 std::vector<std::string>& errors) {
  const size_t errors_before = errors.size();
  const int count = layout.rows * layout.columns;
  map.keys.assign(count + 1, KeyBinding{});
  if (text.size() > kKeymapFileLimit) {
    errors.push_back(file + ": larger than " +
                     std::to_string(kKeymapFileLimit / 1024) + " KiB");
    return false;
  }
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a BOM
  if (const size_t bad = FindNonText(text); bad != std::string_view::npos) {
    const size_t line = 1 + std::count(text.begin(), text.begin() + bad, '\n');
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", static_cast<uint8_t>(text[bad]));
    errors.push_back(file + ":" + std::to_string(line) +
                     ": not a text file (byte " + byte + ")");
    return false;
  }
  std::vector<int> named_on(count + 1, 0);  // the line that named it
  bool in_keys = false;
  int number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const std::string at = file + ":" + std::to_string(number) + ": ";
    if (line.front() == '[' && line.back() == ']') {
      in_keys = Trim(line.substr(1, line.size() - 2)) == "keys";
      if (!in_keys) {
        errors.push_back(at + "unknown section " + Quote(line) +
                         "; a map's lines go under [keys]");
      }
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      errors.push_back(at + "expected 'position = key', not " + Quote(line));
      continue;
    }
    if (!in_keys) {
      errors.push_back(at + "outside [keys]");
      continue;
    }
    const std::string_view left = Trim(line.substr(0, equals));
    const std::string_view right = Trim(line.substr(equals + 1));
    int position = 0;
    std::string fault = left.empty() ? "no position before '='"
                                     : ParsePosition(left, layout, position);
    if (!fault.empty()) errors.push_back(at + fault);
    KeyBinding binding;
    fault = right.empty() ? "no key after '='" : ParseBinding(right, binding);
    if (!fault.empty()) errors.push_back(at + fault);
    if (position == 0) continue;
    if (named_on[position] != 0) {
      errors.push_back(at + PositionName(position, layout.columns) + " (" +
                       layout.legends[position] +
                       ") given twice, first on line " +
                       std::to_string(named_on[position]));
      continue;
    }
    named_on[position] = number;
    if (fault.empty()) map.keys[position] = binding;
  }
  return errors.size() == errors_before;
}

const char* ProcessEnvironment(const char* name) { return std::getenv(name); }

KeymapLoad LoadKeymap(const char* file, const KeypadLayout& layout,
                      const std::vector<std::string>& search) {
  const std::vector<std::string> candidates =
      file != nullptr ? std::vector<std::string>{file} : search;
  KeymapLoad load;
  for (const std::string& path : candidates) {
    std::string text, reason;
    const KeymapFileRead read = ReadKeymapFile(path.c_str(), text, reason);
    if (read == KeymapFileRead::kMissing && file == nullptr) continue;
    load.file = path;
    if (read != KeymapFileRead::kRead) {
      load.errors.push_back(path + ": " + reason);
    } else {
      ParseKeymap(text, path, layout, load.map, load.errors);
    }
    break;
  }
  if (!load.errors.empty()) load.map = {};  // nothing typed from a bad map
  return load;
}

std::string PositionName(int position, int columns) {
  return "r" + std::to_string((position - 1) / columns) + "c" +
         std::to_string((position - 1) % columns);
}

const KeyBinding& BindingAt(const Keymap& map, int position) {
  static const KeyBinding built_in;
  if (position <= 0 || static_cast<size_t>(position) >= map.keys.size()) {
    return built_in;
  }
  return map.keys[position];
}

std::string KeyNameAt(const Keymap& map, int position, char legend) {
  const KeyBinding& binding = BindingAt(map, position);
  if (binding.kind == KeyBinding::kChord) return KeyChordText(binding.chord);
  const KeyName* key =
      binding.kind == KeyBinding::kBuiltIn ? KeyForChar(legend) : nullptr;
  return key != nullptr ? key->name : "none";
}

std::string RenderKeymap(const Keymap& map, const KeypadLayout& layout) {
  std::string text;
  for (int position = 1; position <= layout.rows * layout.columns; ++position) {
    if (position > 1 && (position - 1) % layout.columns == 0) text += "\n";
    const char legend = layout.legends[position];
    text += PositionName(position, layout.columns) + " (" + legend + ")  " +
            KeyNameAt(map, position, legend) + "\n";
  }
  return text;
}

// --- The map in use ---------------------------------------------------------

static Keymap active_keymap;

const Keymap& ActiveKeymap() { return active_keymap; }

void UseKeymap(Keymap map) { std::swap(active_keymap, map); }

bool ReloadKeymap(const char* file, const KeypadLayout& layout,
                  std::vector<std::string>& errors) {
  KeymapLoad load = LoadKeymap(file, layout);
  if (!load.errors.empty()) {
    errors = std::move(load.errors);
    return false;
  }
  UseKeymap(std::move(load.map));
  return true;
}

bool SameKeyAt(int position, int other_position) {
  const KeyBinding& a = BindingAt(active_keymap, position);
  const KeyBinding& b = BindingAt(active_keymap, other_position);
  if (a.kind != b.kind) return false;
  return a.kind != KeyBinding::kChord ||
         (a.chord.key == b.chord.key && a.chord.modifiers == b.chord.modifiers);
}

void TypeKeyAt(int position, char legend) {
  const KeyBinding& binding = BindingAt(active_keymap, position);
  if (binding.kind == KeyBinding::kBuiltIn) SendKeyForChar(legend);
  if (binding.kind == KeyBinding::kChord) SendKeyChord(binding.chord);
}
