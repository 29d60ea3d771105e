#include "tests/binary_scenarios.h"

#include <algorithm>

namespace {

// Every keypad key pressed and released in turn, one per pass pair, then a
// blank position.
BinaryScenario EveryKey() {
  const std::string legends = kKeypadLegends;
  BinaryScenario row = {.name = "EveryKeypadKeyTypesItsKey"};
  std::string out = std::string(kBannerAndUsage) + "\n";
  for (size_t i = 0; i < legends.size(); ++i) {
    const std::string key(1, legends[i]);
    row.scenario += "press " + key + " " + std::to_string(2 * i + 2) +
                    "\nrelease " + key + " " + std::to_string(2 * i + 3) + "\n";
    out += "press (" + key + ")\n";
  }
  row.scenario += "press r3c5 40\n";
  row.type_after = "press ( )\n";
  row.typed = {TypedKey::kEscape};
  row.out = out + "press ( )\n";
  row.keys = legends + " ";
  return row;
}

std::vector<BinaryScenario> BinaryScenarios() {
  using enum TypedKey;
  using enum ReportsSeen;
  const std::string banner = kBannerAndUsage;
  return {
      {.name = "KeyPressesAreEchoedAndTypedUntilEscape",
       .scenario = "press 5 3\nrelease 5 4\npress 7 5",
       .with_sound_file = true,
       .type_after = "press (7)\n",
       .typed = {kEscape},
       .out = banner + "\npress (5)\npress (7)\n",
       .reports = kStartAndQuietEnd,
       .keys = "57"},
      // Request 12 reads the held key's row in the third pass; it goes
      // unanswered. The key is still down: typed once.
      {.name = "HeldKeyIsTypedOnceThoughOneReplyIsLost",
       .scenario = "press 5 2\nlost 12\nhome 40",
       .out = banner + "\npress (5)\n",
       .reports = kQuietEnd,
       .keys = "5"},
      EveryKey(),
      EveryPositionWithTwoModifiers(),
      {.name = "KeyMapTypesItsKeysAndNothingWhereItSaysNone",
       .args = {"--keymap", "keymap.conf"},
       .scenario = "press 5 2\nrelease 5 3\npress 7 4\nrelease 7 5\n"
                   "press r0c0 6\nrelease r0c0 7\npress 9 8\nhome 10",
       .keymap = "[keys]\n5 = ctrl+z\n7 = none  # a comment\nr0c0 = kpenter\n",
       .out = banner + "\npress (5)\npress (7)\npress ( )\npress (9)\n",
       .reports = kQuietEnd,
       .key_events = {{"leftctrl down", "z down", "z up", "leftctrl up",
                       "kpenter down", "kpenter up", "9 down", "9 up"}}},
      {.name = "WrongKeyMapEndsTheRunBeforeTheRemote",
       .args = {"--keymap", "keymap.conf"},
       .keymap = "[keys]\n5 = ctrl+bogus\nr9c9 = a\n",
       .status = 78,
       .out = "",
       .err_has = {"keymap.conf:2: unknown key 'bogus'",
                   "keymap.conf:3: no position r9c9"},
       .reports = kNone},
      {.name = "UnknownOptionGivesTheUsageLine",
       .args = {"--bogus"},
       .status = 2,
       .out = "",
       .err_has = {"zolmek: unknown option '--bogus'\nusage: zolmek"},
       .reports = kNone},
      {.name = "MonitorShowsEachSwitchAndTypesNothing",
       .args = {"--monitor"},
       .scenario = "press 5 3\npress 9 4\nrelease 5 5\nrelease 9 6\nhome 8",
       .out_has = {"\nr2c3 (5) down -> 5\nr1c2 (9) down -> 9\nr2c3 (5) up\n"
                   "r1c2 (9) up\n"},
       .reports = kStartAndQuietEnd},
      // The service: no terminal output, log lines on stderr, keys typed,
      // never logged; Ctrl+C (SIGINT) ends it with the remote quieted.
      {.name = "ServiceComesBackAfterEveryDropAndTypesEachKeyOnce",
       .args = {"--service"},
       .scenario = "battery 5\npress 5 1:3\nrelease 5 1:4\ndisconnect 30\n"
                   "reconnect 100\npress 7 2:3\nrelease 7 2:4\n"
                   "disconnect 30\nreconnect 100\npress 9 3:3\n"
                   "release 9 3:4\ndisconnect 30\n",
       .stop_on_error = "the remote is gone",
       .stop_times = 3,
       .err_has = {"started", "remote 057E:0306 connected at emulator",
                   "keypad found", "battery 5 %", "battery is low (5 %)",
                   "the remote is gone", "waiting for a remote", "connected",
                   "the remote is gone", "connected", "keypad found",
                   "stopping"},
       .keys = "579"},
      {.name = "ServiceWaitsForARemoteUntilStopped",
       .args = {"--service"},
       .scenario = "no-remote",
       .stop_on_error = "waiting for a remote",
       .err_has = {"waiting for a remote", "stopping"},
       .reports = kNone},
      {.name = "ServiceIgnoresHomeAndLooksForTheKeypadAgain",
       .args = {"--service"},
       .scenario = "keypad from 100\nhome 2\npress 5 4\nrelease 5 5\n"
                   "disconnect 130",
       .stop_on_error = "the remote is gone",
       .err_has = {"no keypad answers behind the remote; looking again every "
                   "3 s",
                   "keypad found", "the remote is gone"},
       .keys = "5"},
      // The runs that end without a key. Without a display no message box
      // can be shown: its text goes to stderr.
      {.name = "NoRemoteExitsOneWithAMessage",
       .scenario = "no-remote",
       .status = 1,
       .out = "",
       .err = "Wii-Remote not found.\n",
       .reports = kNone},
      {.name = "SilentRemoteCannotOpen",
       .scenario = "silent",
       .out = "",
       .err = "Wii-Remote cannot open.\n"},
      {.name = "NoKeypadAfter79Dots",
       .scenario = "keypad absent",
       .out = banner + std::string(79, '.') + "\n",
       .err = "Zolmek is not found.\n",
       .reports = kStartAndQuietEnd},
      // Arrows and function keys reach the program as more than one byte:
      // escape sequences on a terminal; 0xE0 or 0 and a second code from
      // _getch, where "K" is the left arrow's. None is Escape or a key.
      {.name = "ArrowAndFunctionKeysAreSwallowedAndOnlyEscapeEnds",
       .scenario = "press 9 20",
       .type_after = "press (9)\n",
       .typed = {kUp, kLeft, kF1, kF5, kLetter, kDown},
       .escape_after_a_pause = true,
       .reports = kQuietEnd,
       .keys = "9"},
      // Every read unanswered: detection crawls at one attempt per timeout.
      // No "not found" message: the user quit.
      {.name = "CtrlCDuringDetectionStillQuietsTheRemote",
       .scenario = "lost 1-100000",
       .type_after = "..",
       .typed = {kCtrlC},
       .err = "",
       .reports = kQuietEnd},
      {.name = "HomeButtonEndsTheScanWhenTheRemoteStopsAnswering",
       .scenario = "lost 10-100000\nhome 4",
       .reports = kQuietEnd},
      {.name = "RemoteGoneEndsTheRunWithAMessage",
       .scenario = "disconnect 6",
       .err = "Wii-Remote connection lost.\n"},
  };
}

}  // namespace

void ExpectLinesInOrder(const std::string& text,
                        const std::vector<std::string>& lines) {
  size_t at = 0;
  for (const std::string& line : lines) {
    const size_t found = text.find(line, at);
    EXPECT_NE(found, std::string::npos) << "\"" << line << "\" in order in:\n"
                                        << text;
    if (found == std::string::npos) return;
    at = found + line.size();
  }
}

// A row prints as its name, which also names its test.
void PrintTo(const BinaryScenario& row, std::ostream* out) { *out << row.name; }

void ExpectReports(const std::vector<std::string>& reports, ReportsSeen seen) {
  using enum ReportsSeen;
  const std::string all = testing::PrintToString(reports);
  const std::vector<std::string> start = {"12 00 31", "12 00 30", "11 F0"};
  const bool started = reports.size() >= start.size() &&
                       std::equal(start.begin(), start.end(), reports.begin());
  EXPECT_TRUE(seen != kNone || reports.empty()) << all;
  EXPECT_TRUE(seen != kStartAndQuietEnd || started) << all;
  EXPECT_TRUE(seen == kUnchecked || seen == kNone || EndsWithQuieting(reports))
      << all;
}

namespace {

class BinaryScenarioTest : public testing::TestWithParam<BinaryScenario> {};
TEST_P(BinaryScenarioTest, Runs) { RunBinaryScenario(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Table, BinaryScenarioTest,
                         testing::ValuesIn(BinaryScenarios()),
                         testing::PrintToStringParamName());

}  // namespace
