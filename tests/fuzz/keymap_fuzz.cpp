// libFuzzer target: key map files, which users write. The fuzzer's bytes
// are parsed as a map. Besides the sanitizers' checks: a map that parses
// clean, written out again position by position with the keys it gives,
// reads back to the same keys.
#include <cstdlib>
#include <string>
#include <vector>

#include "host/keymap.h"
#include "keypad/keypad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const KeypadLayout layout = {kKeypadRows, kKeypadColumns, KeyTable};
  const int count = kKeypadRows * kKeypadColumns;
  Keymap map;
  std::vector<std::string> errors;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!ParseKeymap(text, "in", layout, map, errors)) return 0;
  std::string again = "[keys]\n";
  for (int p = 1; p <= count; ++p) {
    again += PositionName(p, kKeypadColumns) + " = " +
             KeyNameAt(map, p, KeyTable[p]) + "\n";
  }
  Keymap reread;
  if (!ParseKeymap(again, "again", layout, reread, errors) ||
      RenderKeymap(reread, layout) != RenderKeymap(map, layout)) {
    std::abort();  // a map written out again does not read back the same
  }
  return 0;
}
