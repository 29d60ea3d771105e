// Key maps: reading, showing and typing them.
#include "host/keymap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "keypad/keypad.h"
#include "test_support/host_fake.h"

namespace {

using namespace std::string_literals;

const KeypadLayout kLayout = {kKeypadRows, kKeypadColumns, KeyTable};

// A parse as one string: its faults, or else what the map names (the
// positions it leaves built in are left out).
std::string Parse(const std::string& text) {
  Keymap map;
  std::vector<std::string> errors;
  const bool good = ParseKeymap(text, "m", kLayout, map, errors);
  EXPECT_EQ(good, errors.empty());  // the result agrees with the faults
  std::string out;
  for (const std::string& error : errors) out += error + "\n";
  for (int p = 1; errors.empty() && p <= kKeypadRows * kKeypadColumns; ++p) {
    if (BindingAt(map, p).kind == KeyBinding::kBuiltIn) continue;
    out += (out.empty() ? "" : " ") + PositionName(p, kKeypadColumns) + "=" +
           KeyNameAt(map, p, KeyTable[p]);
  }
  return out;
}

}  // namespace

// Each row names the fault it would catch by what it expects.
TEST(KeymapTest, LinesGiveKeysOrEveryFaultWithItsLine) {
  const std::string big(kKeymapFileLimit, '#');
  const struct {
    std::string text, expected;
  } cases[] = {
      // The issue's map; comments (in UTF-8), blank lines, legends.
      {"# Zolmek\xE2\x80\x99s\n[keys]\nr0c0 = backspace  # blank\n\n"
       ".    = dot\nE    = kpenter\nN    = ctrl+z\nr3c5 = none\n",
       "r0c0=backspace r0c4=kpenter r1c5=dot r3c1=ctrl+z r3c5=none"},
      // Blanks, tabs, CRLF, a BOM, modifiers in any order and spacing.
      {"\xEF\xBB\xBF [ keys ] \r\n\t5\t=\tmeta + ctrl+f1\r\n0=kp0",
       "r2c3=ctrl+meta+f1 r2c5=kp0"},
      {big, ""},
      {big + "#", "m: larger than 64 KiB\n"},
      {"[keys]\n\n5 = a\0"s, "m:3: not a text file (byte 0x00)\n"},
      {"[keys]\n5 = a\rb", "m:2: not a text file (byte 0x0D)\n"},
      {"# \xE2\x80", "m:1: not a text file (byte 0xE2)\n"},  // cut short
      {"r0c0 = a\n[mouse]\nr0c1 = b\n[keys]\nr0c2 = c",
       "m:1: outside [keys]\nm:2: unknown section '[mouse]'; a map's lines go "
       "under [keys]\nm:3: outside [keys]\n"},
      {"[keys]\nr0c0 backspace\n[keys\n= a\nr0c0 =\n",
       "m:2: expected 'position = key', not 'r0c0 backspace'\n"
       "m:3: expected 'position = key', not '[keys'\n"
       "m:4: no position before '='\nm:5: no key after '='\n"},
      {"[keys]\nr0c6 = a\nr-1c0 = a\nr0c00 = a",
       "m:2: no position r0c6: rows are 0-3, columns 0-5\n"
       "m:3: unknown position or legend 'r-1c0'\n"
       "m:4: unknown position or legend 'r0c00'\n"},
      {"[keys]\nr2c3 = a\n5 = b\n5 = foo\n",
       "m:3: r2c3 (5) given twice, first on line 2\nm:4: unknown key 'foo'\n"
       "m:4: r2c3 (5) given twice, first on line 2\n"},
      {"[keys]\n1 = A\n2 = hyper+a\n3 = ctrl+ctrl+a\n4 = ctrl+\n"
       "6 = ctrl+none\n7 = ctrl\nfoo = bar",
       "m:2: unknown key 'A' (names are lower case)\n"
       "m:3: unknown modifier 'hyper' (ctrl, shift, alt or meta)\n"
       "m:4: modifier 'ctrl' given twice\nm:5: an empty name around '+'\n"
       "m:6: none takes no modifiers\nm:7: unknown key 'ctrl'\n"
       "m:8: unknown position or legend 'foo'\nm:8: unknown key 'bar'\n"},
      {"[keys]\n1 = " + std::string(40, 'x'),
       "m:2: unknown key '" + std::string(32, 'x') + "...'\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parse(c.text), c.expected) << c.text.substr(0, 80);
  }
}

// The search takes the first file there (a missing one is no fault); the
// example installed with the documentation parses clean; --check-keymap's
// table shows every position's legend and key, one a line, rows apart.
TEST(KeymapTest, ExampleMapIsFoundGoodAndShownPositionByPosition) {
  const KeymapLoad load =
      LoadKeymap(nullptr, kLayout, {"no/such/keymap", ZOLMEK_EXAMPLE_KEYMAP});
  EXPECT_EQ(load.file, ZOLMEK_EXAMPLE_KEYMAP);
  EXPECT_EQ(load.errors, std::vector<std::string>{});
  const std::string text = RenderKeymap(load.map, kLayout);
  const std::string row0 =
      "r0c0 ( )  backspace\nr0c1 ( )  esc\nr0c2 (+)  kpplus\nr0c3 ( )  tab\n"
      "r0c4 (E)  enter\nr0c5 ( )  kpenter\n\nr1c0 (-)  kpminus\n";
  EXPECT_EQ(text.substr(0, row0.size()), row0);
}

// The map in use: built-in positions type as without a map; a chord goes
// modifiers down, key down and up, modifiers up in reverse (one let go early
// would type the bare key); none types nothing. A bad map read again leaves
// the good one in place, and a named file must be there.
TEST(KeymapTest, ActiveMapTypesAndSurvivesABadReload) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "zolmek-keymap.conf").string();
  std::ofstream(path) << "[keys]\n5 = meta+alt+shift+ctrl+kpenter\n7 = none";
  std::vector<std::string> errors;
  ASSERT_TRUE(ReloadKeymap(path.c_str(), kLayout, errors));
  std::ofstream(path) << "[keys]\n5 = ctrl+\n";
  EXPECT_FALSE(ReloadKeymap(path.c_str(), kLayout, errors));
  EXPECT_EQ(errors, std::vector{path + ":2: an empty name around '+'"});
  std::filesystem::remove(path);
  EXPECT_FALSE(ReloadKeymap(path.c_str(), kLayout, errors));
  fake::Reset();
  for (int position : {16, 21, 22}) TypeKeyAt(position, KeyTable[position]);
  EXPECT_EQ(fake::events, (std::vector<std::string>{
                              "key down 0xA2", "key down 0xA0", "key down 0xA4",
                              "key down 0x5B", "key down 0x0D", "key up 0x0D",
                              "key up 0x5B", "key up 0xA4", "key up 0xA0",
                              "key up 0xA2", "key down 0x34", "key up 0x34"}));
  UseKeymap({});
}
