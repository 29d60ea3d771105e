// The key map row that both binary harnesses and the VM test run: there its
// chords are read back from the kernel's own keyboard device.
#include "tests/binary_scenarios.h"

// A key map giving every position a key behind two modifiers, each
// position pressed and released in turn, Home last: every chord typed
// whole and in order (modifiers down, key down and up, modifiers up).
BinaryScenario EveryPositionWithTwoModifiers() {
  const char* const pairs[][2] = {
      {"ctrl", "shift"}, {"ctrl", "alt"}, {"shift", "alt"}, {"alt", "meta"}};
  BinaryScenario row = {.name = "KeyMapTypesEveryPositionsTwoModifierChord",
                        .args = {"--keymap", "keymap.conf"},
                        .keymap = "[keys]\n",
                        .key_events = std::vector<std::string>()};
  std::string out = std::string(kBannerAndUsage) + "\n";
  for (int row_of = 0, position = 1; row_of < 4; ++row_of) {
    for (int column = 0; column < 6; ++column, ++position) {
      const std::string where =
          "r" + std::to_string(row_of) + "c" + std::to_string(column);
      const char* const* pair = pairs[position % 4];
      const std::string letter(1, static_cast<char>('a' + position - 1));
      row.keymap += where + " = " + pair[1] + "+" + pair[0] + "+" + letter +
                    "\n";  // written in any order, typed in a fixed one
      row.scenario += "press " + where + " " + std::to_string(2 * position) +
                      "\nrelease " + where + " " +
                      std::to_string(2 * position + 1) + "\n";
      out += std::string("press (") + "  + E -*963. /8520 N741 "[position - 1] +
             ")\n";
      const std::string first = std::string("left") + pair[0];
      const std::string second = std::string("left") + pair[1];
      row.key_events->insert(
          row.key_events->end(),
          {first + " down", second + " down", letter + " down", letter + " up",
           second + " up", first + " up"});
    }
  }
  row.scenario += "home 52\n";
  row.out = out;
  row.reports = ReportsSeen::kQuietEnd;
  return row;
}
