// The built zolmek.exe, unchanged, with the emulator DLL beside it, run
// from a console under wine: what a user sees, types and gets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/binary_harness_win32.h"
#include "tests/expected_output.h"

namespace {

void ExpectQuieted(const std::vector<std::string>& reports) {
  ASSERT_GE(reports.size(), 3u);
  EXPECT_EQ(reports[reports.size() - 3], "11 10");
  EXPECT_EQ(reports[reports.size() - 2], RegisterWrite("06 01 FF FF"));
  EXPECT_EQ(reports.back(), "12 00 30");
}

// What SendInput must have produced for these virtual keys: each one down
// then up, with the layout's scan code, injected, never an extended key.
void ExpectKeystrokes(const std::vector<InjectedKey>& seen,
                      const std::vector<DWORD>& codes) {
  ASSERT_EQ(seen.size(), 2 * codes.size());
  for (size_t i = 0; i < codes.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "key 0x" << std::hex << codes[i]);
    const DWORD scan = MapVirtualKeyA(codes[i], MAPVK_VK_TO_VSC);
    const InjectedKey& down = seen[2 * i];
    const InjectedKey& up = seen[2 * i + 1];
    EXPECT_TRUE(down.down);
    EXPECT_FALSE(up.down);
    EXPECT_EQ(down.virtual_key, codes[i]);
    EXPECT_EQ(up.virtual_key, codes[i]);
    EXPECT_EQ(down.scan_code, scan);
    EXPECT_EQ(up.scan_code, scan);
    EXPECT_EQ(down.flags & (LLKHF_EXTENDED | LLKHF_INJECTED), LLKHF_INJECTED);
    EXPECT_EQ(up.flags & (LLKHF_EXTENDED | LLKHF_INJECTED), LLKHF_INJECTED);
  }
}

}  // namespace

TEST(WineBinaryTest, ShortRunSendsExactlyTheseReports) {
  // Escape is waiting before the start: detection takes it at its first
  // look, before any attempt, and the remote is quieted.
  ZolmekProcess zolmek({.keys_before_start = {kEscape}});
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Output(), std::string(kBannerAndUsage) + "\n");
  EXPECT_EQ(zolmek.Errors(), "");
  EXPECT_EQ(zolmek.Reports(), (std::vector<std::string>{
                                  "12 00 31", "12 00 30", "11 F0", "11 10",
                                  RegisterWrite("06 01 FF FF"), "12 00 30"}));
  EXPECT_TRUE(zolmek.Keys().empty());
}

TEST(WineBinaryTest, KeyPressesAreEchoedAndTypedUntilEscape) {
  ZolmekProcess zolmek({.scenario = "press 5 3\nrelease 5 4\npress 7 5",
                        .with_sound_file = true});
  zolmek.WaitForOutput("press (7)\n");
  zolmek.Type({kEscape});
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Output(),
            std::string(kBannerAndUsage) + "\npress (5)\npress (7)\n");
  ExpectKeystrokes(zolmek.Keys(), {0x35, 0x37});
  const auto reports = zolmek.Reports();
  ASSERT_GE(reports.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(reports.begin(), reports.begin() + 3),
            (std::vector<std::string>{"12 00 31", "12 00 30", "11 F0"}));
  ExpectQuieted(reports);
}

TEST(WineBinaryTest, EveryKeypadKeyTypesItsVirtualKey) {
  const std::string keys = "0123456789.+-*/EN";
  std::string scenario;
  for (size_t i = 0; i < keys.size(); ++i) {
    scenario += std::string("press ") + keys[i] + " " +
                std::to_string(2 * i + 2) + "\nrelease " + keys[i] + " " +
                std::to_string(2 * i + 3) + "\n";
  }
  scenario += "press r3c5 40\n";  // a blank position: a line, no key
  ZolmekProcess zolmek({.scenario = scenario});
  zolmek.WaitForOutput("press ( )\n");
  zolmek.Type({kEscape});
  EXPECT_EQ(zolmek.Wait(), 0);
  ExpectKeystrokes(zolmek.Keys(),
                   {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39,
                    0x6E, 0x6B, 0x6D, 0x6A, 0x6F, 0x0D, 0x2E});
}

TEST(WineBinaryTest, ExitStatusesAndMessages) {
  // Without a display no message box can be shown; the text goes to stderr.
  for (const EndWithoutKeys& c : EndsWithoutKeys()) {
    SCOPED_TRACE(c.scenario);
    ZolmekProcess zolmek({.scenario = c.scenario});
    EXPECT_EQ(zolmek.Wait(), c.status);
    EXPECT_EQ(zolmek.Output(), c.out);
    EXPECT_EQ(zolmek.Errors(), c.err);
    if (c.status == 1) {
      EXPECT_TRUE(zolmek.Reports().empty());
    }
  }
}

TEST(WineBinaryTest, ExtendedKeysAreSwallowedAndOnlyEscapeEnds) {
  ZolmekProcess zolmek({.scenario = "press 9 20"});
  zolmek.WaitForOutput("press (9)\n");
  // Arrows and F1 come from _getch as 0xE0 or 0 and a second code; "K" is
  // the second code of the left arrow, which must not count as a key.
  zolmek.Type({{VK_UP, 0, ENHANCED_KEY},
               {VK_LEFT, 0, ENHANCED_KEY},
               {VK_F1, 0},
               {'X', 'x'}});
  Sleep(300);
  EXPECT_TRUE(zolmek.Running());
  zolmek.Type({kEscape});
  EXPECT_EQ(zolmek.Wait(), 0);
  ExpectQuieted(zolmek.Reports());
  ExpectKeystrokes(zolmek.Keys(), {0x39});
}

TEST(WineBinaryTest, CtrlCDuringDetectionStillQuietsTheRemote) {
  // Every read unanswered: detection crawls at one attempt per timeout.
  ZolmekProcess zolmek({.scenario = "lost 1-100000"});
  zolmek.WaitForOutput("..");
  zolmek.Type({kCtrlC});
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Errors(), "");  // no "not found" message: the user quit
  ExpectQuieted(zolmek.Reports());
}

TEST(WineBinaryTest, HomeButtonEndsTheScanWhenTheRemoteStopsAnswering) {
  ZolmekProcess zolmek({.scenario = "lost 10-100000\nhome 4"});
  EXPECT_EQ(zolmek.Wait(), 0);
  ExpectQuieted(zolmek.Reports());
}

TEST(WineBinaryTest, RemoteGoneEndsTheRunWithAMessage) {
  ZolmekProcess zolmek({.scenario = "disconnect 6"});
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Errors(), "Wii-Remote connection lost.\n");
}
