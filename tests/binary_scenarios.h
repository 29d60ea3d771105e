// The binary-level scenarios, written once and run by both harnesses: the
// unchanged program against the emulator, on Linux under a pseudo-terminal
// (tests/binary_test.cpp) and on Windows from a console under wine
// (tests/binary_test_win32.cpp). A row is one run as a user makes it: the
// emulator's scenario, what is typed and when, and what must come out.
// What only one system has (uinput events, SendInput's records) each
// harness checks itself, for the keys a row names.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
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
  std::string scenario = "";     // the emulator's script
  bool with_sound_file = false;  // the sample test1.wav in the working dir
  std::string type_after = "";   // once the terminal shows this, type:
  std::vector<TypedKey> typed = {};
  // Then, 300 ms on, the program must still run; Escape ends it.
  bool escape_after_a_pause = false;
  int status = 0;
  std::optional<std::string> out = std::nullopt;  // the whole terminal text
  std::optional<std::string> err = std::nullopt;  // the whole error output
  ReportsSeen reports = ReportsSeen::kUnchecked;
  // The keypad keys, by legend, typed on the desktop in this order; a blank
  // position (' ') types nothing.
  std::optional<std::string> keys = std::nullopt;
};

void ExpectReports(const std::vector<std::string>& reports, ReportsSeen seen);

// Each harness runs every row (tests/binary_scenarios.cpp makes a test of
// each) through these, defined for its own ZolmekProcess; its
// RunBinaryScenario is RunScenarioWith<ZolmekProcess>.
class ZolmekProcess;
void RunBinaryScenario(const BinaryScenario& row);
void TypeKeys(ZolmekProcess& zolmek, const std::vector<TypedKey>& keys);
void ExpectKeystrokes(const ZolmekProcess& zolmek, const std::string& legends);

template <typename Process>
void RunScenarioWith(const BinaryScenario& row) {
  Process zolmek(
      {.scenario = row.scenario, .with_sound_file = row.with_sound_file});
  if (!row.type_after.empty() && zolmek.WaitForOutput(row.type_after)) {
    TypeKeys(zolmek, row.typed);
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
  if (row.keys) ExpectKeystrokes(zolmek, *row.keys);
}
