// The binary-level scenarios, written once and run by both harnesses: the
// unchanged program against the emulator, on Linux under a pseudo-terminal
// (tests/binary_test.cpp) and on Windows from a console under wine
// (tests/binary_test_win32.cpp). A row is one run as a user makes it: the
// emulator's scenario, what is typed and when, and what must come out.
// What only one system has (uinput events, SendInput's records) each
// harness checks itself, for the keys a row names.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/expected_output.h"

// A key typed at the console. Each harness types it its own way (bytes on
// the terminal, key records in the console's input buffer), listed in this
// order.
enum class TypedKey { kEscape, kCtrlC, kUp, kDown, kLeft, kF1, kF5, kLetter };

// The keypad's legends; each harness lists the key each one types in this
// order. A blank position types nothing.
inline constexpr char kKeypadLegends[] = "0123456789.+-*/EN";

// What the emulated remote must have received.
enum class ReportsSeen {
  kUnchecked,
  kNone,              // nothing: the remote was never opened
  kQuietEnd,          // the run ended by quieting the remote
  kStartAndQuietEnd,  // the probe's report modes and the LEDs, quieting last
};

struct BinaryScenario {
  const char* name;
  std::vector<std::string> args = {};  // the command line's options
  std::string scenario = "";           // the emulator's script
  std::string keymap = "";  // when not empty: keymap.conf in the working dir
  bool with_sound_file = false;  // the sample test1.wav in the working dir
  std::string type_after = "";   // once the terminal shows this, type:
  std::vector<TypedKey> typed = {};
  // Then, 300 ms on, the program must still run; Escape ends it.
  bool escape_after_a_pause = false;
  // Once the error output holds this `stop_times` times, Ctrl+C (the
  // service's stop; SIGINT on Linux) ends the run.
  std::string stop_on_error = "";
  int stop_times = 1;
  int status = 0;
  std::optional<std::string> out = std::nullopt;  // the whole terminal text
  std::optional<std::string> err = std::nullopt;  // the whole error output
  // Lines the terminal and the error output must hold, in this order.
  std::vector<std::string> out_has = {};
  std::vector<std::string> err_has = {};
  ReportsSeen reports = ReportsSeen::kUnchecked;
  // The keypad keys, by legend, typed on the desktop in this order; a blank
  // position (' ') types nothing.
  std::optional<std::string> keys = std::nullopt;
  // Or every key event, as "NAME down" / "NAME up" with the key names of a
  // key map ("leftctrl down", "z down", "z up", "leftctrl up").
  std::optional<std::vector<std::string>> key_events = std::nullopt;
};

// A key map giving every position a key behind two modifiers, each
// position pressed and released in turn, Home last; the VM test runs it
// too (tests/binary_scenario_chords.cpp).
BinaryScenario EveryPositionWithTwoModifiers();

void ExpectReports(const std::vector<std::string>& reports, ReportsSeen seen);

// Each harness runs every row (tests/binary_scenarios.cpp makes a test of
// each) through these, defined for its own ZolmekProcess; its
// RunBinaryScenario is RunScenarioWith<ZolmekProcess>.
class ZolmekProcess;
void RunBinaryScenario(const BinaryScenario& row);
void TypeKeys(ZolmekProcess& zolmek, const std::vector<TypedKey>& keys);
void ExpectKeystrokes(const ZolmekProcess& zolmek, const std::string& legends);
void ExpectKeyEvents(const ZolmekProcess& zolmek,
                     const std::vector<std::string>& events);
// Waits until `text` is `times` times in the error output (false after
// 20 s).
template <typename Process>
bool WaitForErrors(const Process& zolmek, const std::string& text, int times) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    const std::string errors = zolmek.Errors();
    int seen = 0;
    for (size_t at = errors.find(text); at != std::string::npos;
         at = errors.find(text, at + 1)) {
      ++seen;
    }
    if (seen >= times) return true;
    if (std::chrono::steady_clock::now() > end) {
      ADD_FAILURE() << "not " << times << " times \"" << text << "\" in "
                    << errors;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}
void ExpectLinesInOrder(const std::string& text,
                        const std::vector<std::string>& lines);

template <typename Process>
void RunScenarioWith(const BinaryScenario& row) {
  std::map<std::string, std::string> files;
  if (!row.keymap.empty()) files["keymap.conf"] = row.keymap;
  Process zolmek({.args = row.args,
                  .files = files,
                  .scenario = row.scenario,
                  .with_sound_file = row.with_sound_file});
  if (!row.type_after.empty() && zolmek.WaitForOutput(row.type_after)) {
    TypeKeys(zolmek, row.typed);
  }
  if (!row.stop_on_error.empty() &&
      WaitForErrors(zolmek, row.stop_on_error, row.stop_times)) {
    TypeKeys(zolmek, {TypedKey::kCtrlC});
  }
  if (row.escape_after_a_pause) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(zolmek.Running()) << "ended before Escape";
    TypeKeys(zolmek, {TypedKey::kEscape});
  }
  EXPECT_EQ(zolmek.Wait(), row.status);
  // Texts the row does not give are whatever came.
  EXPECT_EQ(zolmek.Output(), row.out.value_or(zolmek.Output()));
  EXPECT_EQ(zolmek.Errors(), row.err.value_or(zolmek.Errors()));
  ExpectReports(zolmek.Reports(), row.reports);
  ExpectLinesInOrder(zolmek.Output(), row.out_has);
  ExpectLinesInOrder(zolmek.Errors(), row.err_has);
  if (row.keys) ExpectKeystrokes(zolmek, *row.keys);
  if (row.key_events) ExpectKeyEvents(zolmek, *row.key_events);
  // Nothing a user types reaches the service's log.
  if (std::find(row.args.begin(), row.args.end(), "--service") !=
      row.args.end()) {
    EXPECT_EQ((zolmek.Output() + zolmek.Errors()).find("press"),
              std::string::npos);
  }
}
