// The built zolmek.exe, unchanged, with the emulator DLL beside it, run
// from a console under wine: what a user sees, types and gets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/key_names.h"
#include "tests/binary_harness_win32.h"
#include "tests/binary_scenarios.h"

namespace {

// The virtual key each of kKeypadLegends types.
const DWORD kVirtualKeys[] = {0x30, 0x31, 0x32, 0x33, 0x34, 0x35,
                              0x36, 0x37, 0x38, 0x39, 0x6E, 0x6B,
                              0x6D, 0x6A, 0x6F, 0x0D, 0x2E};
// Each TypedKey as the console's input buffer holds it.
// clang-format off
const ConsoleKey kConsoleKeys[] = {
    kEscape, kCtrlC, {VK_UP, 0, ENHANCED_KEY}, {VK_DOWN, 0, ENHANCED_KEY},
    {VK_LEFT, 0, ENHANCED_KEY}, {VK_F1, 0}, {VK_F5, 0}, {'X', 'x'}};
// clang-format on

}  // namespace

void TypeKeys(ZolmekProcess& zolmek, const std::vector<TypedKey>& keys) {
  std::vector<ConsoleKey> records;
  for (TypedKey key : keys)
    records.push_back(kConsoleKeys[static_cast<int>(key)]);
  zolmek.Type(records);
}

// What SendInput must have produced for these keys: each one down then up,
// with the layout's scan code, injected, never an extended key.
void ExpectKeystrokes(const ZolmekProcess& zolmek, const std::string& legends) {
  const std::vector<InjectedKey> seen = zolmek.Keys();
  size_t next = 0;
  for (char legend : legends) {
    const char* at = std::strchr(kKeypadLegends, legend);
    if (at == nullptr) continue;  // a blank position types nothing
    const DWORD code = kVirtualKeys[at - kKeypadLegends];
    SCOPED_TRACE(testing::Message() << "key 0x" << std::hex << code);
    for (bool down : {true, false}) {
      ASSERT_LT(next, seen.size()) << "too few keys";
      const InjectedKey& record = seen[next++];
      EXPECT_EQ(record.down, down);
      EXPECT_EQ(record.virtual_key, code);
      EXPECT_EQ(record.scan_code, MapVirtualKeyA(code, MAPVK_VK_TO_VSC));
      EXPECT_EQ(record.flags & (LLKHF_EXTENDED | LLKHF_INJECTED),
                LLKHF_INJECTED);
    }
  }
  EXPECT_EQ(next, seen.size()) << "more keys than the keypad's";
}

// "z down" as SendInput must have produced it: its virtual key, the
// layout's scan code, injected, extended where the key is one.
void ExpectKeyEvents(const ZolmekProcess& zolmek,
                     const std::vector<std::string>& events) {
  const std::vector<InjectedKey> seen = zolmek.Keys();
  ASSERT_EQ(seen.size(), events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE(events[i]);
    const size_t space = events[i].find(' ');
    const KeyName* key = FindKeyName(events[i].substr(0, space));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(seen[i].down, events[i].substr(space + 1) == "down");
    EXPECT_EQ(seen[i].virtual_key, key->virtual_key);
    EXPECT_EQ(seen[i].scan_code,
              MapVirtualKeyA(key->virtual_key, MAPVK_VK_TO_VSC));
    EXPECT_EQ(seen[i].flags & (LLKHF_EXTENDED | LLKHF_INJECTED),
              LLKHF_INJECTED | (key->extended ? LLKHF_EXTENDED : 0u));
  }
}

void RunBinaryScenario(const BinaryScenario& row) {
  RunScenarioWith<ZolmekProcess>(row);
}

TEST(WineBinaryTest, ShortRunSendsExactlyTheseReports) {
  // Escape is waiting in the console before the start: detection takes it
  // at its first look, before any attempt, and the remote is quieted.
  ZolmekProcess zolmek({.keys_before_start = {kEscape}});
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Output(), std::string(kBannerAndUsage) + "\n");
  EXPECT_EQ(zolmek.Errors(), "");
  EXPECT_EQ(zolmek.Reports(), (std::vector<std::string>{
                                  "12 00 31", "12 00 30", "11 F0", "11 10",
                                  RegisterWrite("06 01 FF FF"), "12 00 30"}));
  EXPECT_TRUE(zolmek.Keys().empty());
}
