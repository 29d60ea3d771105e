// The built zolmek binary, unchanged, under a pseudo-terminal against the
// emulator library: what a user sees, types and gets.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <signal.h>
#include <termios.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/binary_harness.h"
#include "tests/expected_output.h"

namespace {

void ExpectQuieted(const std::vector<std::string>& reports) {
  EXPECT_TRUE(EndsWithQuieting(reports)) << testing::PrintToString(reports);
}

std::string Key(unsigned code, int value) {
  return std::to_string(EV_KEY) + " " + std::to_string(code) + " " +
         std::to_string(value);
}
const std::string kSyn = "0 0 0";

}  // namespace

TEST(BinaryTest, KeyPressesAreEchoedAndTypedUntilEscape) {
  ZolmekProcess zolmek({.scenario = "press 5 3\nrelease 5 4\npress 7 5"});
  zolmek.WaitForOutput("press (7)\n");
  zolmek.Type("\x1b");
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Output(),
            std::string(kBannerAndUsage) + "\npress (5)\npress (7)\n");
  EXPECT_EQ(zolmek.UinputEvents(),
            (std::vector<std::string>{"create 124 keys", Key(KEY_5, 1), kSyn,
                                      Key(KEY_5, 0), kSyn, Key(KEY_7, 1), kSyn,
                                      Key(KEY_7, 0), kSyn, "destroy"}));
  const auto reports = zolmek.Reports();
  ASSERT_GE(reports.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(reports.begin(), reports.begin() + 3),
            (std::vector<std::string>{"12 00 31", "12 00 30", "11 F0"}));
  ExpectQuieted(reports);
}

// Request 12 reads the held key's row in the third pass; it goes
// unanswered. The key is still down: typed once.
TEST(BinaryTest, HeldKeyIsTypedOnceThoughOneReplyIsLost) {
  ZolmekProcess zolmek({.scenario = "press 5 2\nlost 12\nhome 40"});
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Output(), std::string(kBannerAndUsage) + "\npress (5)\n");
  EXPECT_EQ(zolmek.UinputEvents(),
            (std::vector<std::string>{"create 124 keys", Key(KEY_5, 1), kSyn,
                                      Key(KEY_5, 0), kSyn, "destroy"}));
}

TEST(BinaryTest, EveryKeypadKeyTypesItsEvdevKey) {
  // One key per pass pair, all seventeen, then a space position.
  const std::string keys = "0123456789.+-*/EN";
  std::string scenario;
  for (size_t i = 0; i < keys.size(); ++i) {
    scenario += std::string("press ") + keys[i] + " " +
                std::to_string(2 * i + 2) + "\nrelease " + keys[i] + " " +
                std::to_string(2 * i + 3) + "\n";
  }
  scenario += "press r3c5 40\n";
  ZolmekProcess zolmek({.scenario = scenario});
  zolmek.WaitForOutput("press ( )\n");
  zolmek.Type("\x1b");
  EXPECT_EQ(zolmek.Wait(), 0);
  const unsigned codes[] = {
      KEY_0,     KEY_1,      KEY_2,       KEY_3,          KEY_4,
      KEY_5,     KEY_6,      KEY_7,       KEY_8,          KEY_9,
      KEY_KPDOT, KEY_KPPLUS, KEY_KPMINUS, KEY_KPASTERISK, KEY_KPSLASH,
      KEY_ENTER, KEY_DELETE};
  std::vector<std::string> expected = {"create 124 keys"};
  for (unsigned code : codes) {
    expected.insert(expected.end(), {Key(code, 1), kSyn, Key(code, 0), kSyn});
  }
  expected.push_back("destroy");  // and nothing for the space
  EXPECT_EQ(zolmek.UinputEvents(), expected);
}

TEST(BinaryTest, ExitStatusesAndMessages) {
  for (const EndWithoutKeys& c : EndsWithoutKeys()) {
    SCOPED_TRACE(c.scenario);
    ZolmekProcess zolmek({.scenario = c.scenario});
    EXPECT_EQ(zolmek.Wait(), c.status);
    EXPECT_EQ(zolmek.Output(), c.out);
    // The keyboard line comes first when the shim is absent; here it is in.
    EXPECT_EQ(zolmek.Errors(), c.err);
  }
}

TEST(BinaryTest, WithoutUinputKeystrokesAreDisabledOutLoud) {
  ZolmekProcess zolmek(
      {.scenario = "keypad absent", .with_uinput_shim = false});
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Errors().rfind("keystrokes disabled: ", 0), 0u)
      << zolmek.Errors();
}

TEST(BinaryTest, ArrowKeysAreSwallowedAndOnlyALoneEscapeEnds) {
  ZolmekProcess zolmek({.scenario = "press 9 20"});
  zolmek.WaitForOutput("press (9)\n");
  zolmek.Type("\x1b[A\x1bOP\x1b[15~x");  // up, F1, F5, a letter
  zolmek.Type("\x1b[B");
  // Still scanning: Escape is still needed.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  zolmek.Type("\x1b");
  EXPECT_EQ(zolmek.Wait(), 0);
  ExpectQuieted(zolmek.Reports());
}

// Whether the terminal is in the shell's mode (echo, lines) rather than
// zolmek's; waits up to 5 s for it to become `shells`.
bool TerminalBecomes(ZolmekProcess& zolmek, bool shells) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    termios mode;
    if (tcgetattr(zolmek.Terminal(), &mode) != 0) return false;
    if (((mode.c_lflag & (ECHO | ICANON)) == tcflag_t(ECHO | ICANON)) ==
        shells) {
      return true;
    }
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TEST(BinaryTest, TerminalIsGivenBackOnEveryStopAndPause) {
  for (int stop : {SIGTERM, SIGQUIT}) {
    SCOPED_TRACE(stop);
    ZolmekProcess zolmek({.scenario = "press 1 2"});
    zolmek.WaitForOutput("press (1)\n");
    EXPECT_TRUE(TerminalBecomes(zolmek, false));
    zolmek.Signal(stop);
    EXPECT_EQ(zolmek.Wait(), 0);
    EXPECT_TRUE(TerminalBecomes(zolmek, true));
    ExpectQuieted(zolmek.Reports());
  }
  // Ctrl+Z, then fg: the shell's mode while stopped, zolmek's after.
  ZolmekProcess zolmek({.scenario = "press 1 2"});
  zolmek.WaitForOutput("press (1)\n");
  zolmek.Signal(SIGTSTP);
  EXPECT_TRUE(TerminalBecomes(zolmek, true));
  zolmek.Signal(SIGCONT);
  EXPECT_TRUE(TerminalBecomes(zolmek, false));
  zolmek.Type("\x1b");
  EXPECT_EQ(zolmek.Wait(), 0);
}

TEST(BinaryTest, CtrlCDuringDetectionStillQuietsTheRemote) {
  // Every read unanswered: detection crawls at one attempt per timeout.
  ZolmekProcess zolmek({.scenario = "lost 1-100000"});
  zolmek.WaitForOutput("..");
  zolmek.Type("\x03");
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Errors(), "");  // no "not found" box: the user quit
  ExpectQuieted(zolmek.Reports());
}

TEST(BinaryTest, HomeButtonEndsTheScanWhenTheRemoteStopsAnswering) {
  ZolmekProcess zolmek({.scenario = "lost 10-100000\nhome 4"});
  EXPECT_EQ(zolmek.Wait(), 0);
  ExpectQuieted(zolmek.Reports());
}

TEST(BinaryTest, RemoteGoneEndsTheRunWithAMessage) {
  ZolmekProcess zolmek({.scenario = "disconnect 6"});
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Errors(), "Wii-Remote connection lost.\n");
}

TEST(BinaryTest, KeySoundReachesTheAudioDeviceByteForByte) {
  ZolmekProcess zolmek(
      {.scenario = "press 5 3",
       .with_sound_file = true,
       .env = {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIODELAY", "1"}}});
  const std::string audio = zolmek.Dir() + "/sdlaudio.raw";
  const std::string wav = ReadFile(ZOLMEK_KEY_SOUND);
  const std::string samples = wav.substr(44);  // canonical header
  zolmek.WaitForOutput("press (5)\n");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (ReadFile(audio).find(samples) == std::string::npos &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  zolmek.Type("\x1b");
  EXPECT_EQ(zolmek.Wait(), 0);
  const std::string played = ReadFile(audio);
  EXPECT_NE(played.find(samples), std::string::npos)
      << "the device got " << played.size() << " bytes";
  // Played once: one key, one sound.
  EXPECT_EQ(played.find(samples, played.find(samples) + 1), std::string::npos);
}

// A remote that turns hostile at the fifth scan pass (the emulator's
// `garbage`): zolmek reads through the garbage until Escape, which still ends
// the run with the terminal given back, the remote quieted and its handle
// closed once (the emulator says so in one line when it is closed).
// ZOLMEK_HOSTILE_SECONDS sets how long the garbage lasts (5 s); the figures
// go to the test's output.
TEST(BinaryTest, HostileRemoteIsReadThroughUntilEscape) {
  const char* seconds_set = std::getenv("ZOLMEK_HOSTILE_SECONDS");
  const int seconds = seconds_set != nullptr ? std::atoi(seconds_set) : 5;
  ZolmekProcess zolmek({.scenario = "garbage 5 20240611",
                        .with_sound_file = true,
                        // The shim is preloaded ahead of a sanitized build's
                        // runtime; that order is fine here.
                        .env = {{"ASAN_OPTIONS", "verify_asan_link_order=0"}}});
  zolmek.WaitForOutput(std::string(kBannerAndUsage) + "\n");
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  // Not ended by the garbage: still running, not a zombie waiting for us.
  const std::string stat =
      ReadFile("/proc/" + std::to_string(zolmek.Pid()) + "/stat");
  EXPECT_NE(stat.substr(stat.rfind(')') + 2, 1), "Z") << stat;
  const auto typed = std::chrono::steady_clock::now();
  zolmek.Type("\x1b");
  EXPECT_EQ(zolmek.Wait(), 0);
  const std::chrono::duration<double, std::milli> answered =
      std::chrono::steady_clock::now() - typed;
  EXPECT_TRUE(TerminalBecomes(zolmek, true));
  ExpectQuieted(zolmek.Reports());
  EXPECT_EQ(zolmek.Output().rfind(std::string(kBannerAndUsage) + "\n", 0), 0u);
  const std::string errors = zolmek.Errors();
  const std::string said = "zolmek emulator: garbage from scan pass 5 (seed ";
  EXPECT_EQ(errors.rfind(said, 0), 0u) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  std::printf("%s; Escape answered in %.0f ms\n",
              errors.substr(0, errors.find('\n')).c_str(), answered.count());
}
