// The built zolmek binary, unchanged, under a pseudo-terminal against the
// emulator library: what a user sees, types and gets.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <signal.h>
#include <termios.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "host/key_names.h"
#include "tests/binary_harness.h"
#include "tests/binary_scenarios.h"

namespace {

// The evdev key each of kKeypadLegends types.
const unsigned kEvdevKeys[] = {
    KEY_0,       KEY_1,          KEY_2,       KEY_3,     KEY_4,     KEY_5,
    KEY_6,       KEY_7,          KEY_8,       KEY_9,     KEY_KPDOT, KEY_KPPLUS,
    KEY_KPMINUS, KEY_KPASTERISK, KEY_KPSLASH, KEY_ENTER, KEY_DELETE};
// Each TypedKey as the terminal sends it (a VT220's sequences).
const char* const kTerminalBytes[] = {"\x1b",   "\x03",   "\x1b[A",   "\x1b[B",
                                      "\x1b[D", "\x1bOP", "\x1b[15~", "x"};

}  // namespace

void TypeKeys(ZolmekProcess& zolmek, const std::vector<TypedKey>& keys) {
  std::string bytes;
  for (TypedKey key : keys) bytes += kTerminalBytes[static_cast<int>(key)];
  zolmek.Type(bytes);
}

// Each key as the shim saw it: down, SYN, up, SYN ("type code value"), on
// one keyboard made for the whole run.
void ExpectKeystrokes(const ZolmekProcess& zolmek, const std::string& legends) {
  std::vector<std::string> expected = {"create 124 keys"};
  for (char legend : legends) {
    const char* at = std::strchr(kKeypadLegends, legend);
    if (at == nullptr) continue;  // a blank position
    const std::string key = std::to_string(EV_KEY) + " " +
                            std::to_string(kEvdevKeys[at - kKeypadLegends]);
    expected.insert(expected.end(), {key + " 1", "0 0 0", key + " 0", "0 0 0"});
  }
  expected.push_back("destroy");
  EXPECT_EQ(zolmek.UinputEvents(), expected);
}

// "z down" as the shim saw it: the key's event, then SYN.
void ExpectKeyEvents(const ZolmekProcess& zolmek,
                     const std::vector<std::string>& events) {
  std::vector<std::string> expected = {"create 124 keys"};
  for (const std::string& event : events) {
    const size_t space = event.find(' ');
    const KeyName* key = FindKeyName(event.substr(0, space));
    ASSERT_NE(key, nullptr) << event;
    expected.push_back(std::to_string(EV_KEY) + " " +
                       std::to_string(key->evdev_key) +
                       (event.substr(space + 1) == "down" ? " 1" : " 0"));
    expected.push_back("0 0 0");
  }
  expected.push_back("destroy");
  EXPECT_EQ(zolmek.UinputEvents(), expected);
}

void RunBinaryScenario(const BinaryScenario& row) {
  RunScenarioWith<ZolmekProcess>(row);
}

TEST(BinaryTest, WithoutUinputKeystrokesAreDisabledOutLoud) {
  ZolmekProcess zolmek(
      {.scenario = "keypad absent", .with_uinput_shim = false});
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Errors().rfind("keystrokes disabled: ", 0), 0u)
      << zolmek.Errors();
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
    ExpectReports(zolmek.Reports(), ReportsSeen::kQuietEnd);
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
  EXPECT_TRUE(zolmek.Running()) << "ended by the garbage";
  const auto typed = std::chrono::steady_clock::now();
  zolmek.Type("\x1b");
  EXPECT_EQ(zolmek.Wait(), 0);
  const std::chrono::duration<double, std::milli> answered =
      std::chrono::steady_clock::now() - typed;
  EXPECT_TRUE(TerminalBecomes(zolmek, true));
  ExpectReports(zolmek.Reports(), ReportsSeen::kQuietEnd);
  EXPECT_EQ(zolmek.Output().rfind(std::string(kBannerAndUsage) + "\n", 0), 0u);
  const std::string errors = zolmek.Errors();
  const std::string said = "zolmek emulator: garbage from scan pass 5 (seed ";
  EXPECT_EQ(errors.rfind(said, 0), 0u) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  std::printf("%s; Escape answered in %.0f ms\n",
              errors.substr(0, errors.find('\n')).c_str(), answered.count());
}

// One remote, one zolmek: a second one is told which zolmek has it and
// sends the remote nothing.
TEST(BinaryTest, ASecondZolmekIsToldTheRemoteIsTaken) {
  ZolmekProcess service({.args = {"--service"}, .scenario = "no-remote"});
  ASSERT_TRUE(WaitForErrors(service, "waiting for a remote", 1));
  ZolmekProcess second({.env = {{"XDG_RUNTIME_DIR", service.Dir()}}});
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_EQ(second.Errors(), "zolmek: the remote is in use by zolmek (pid " +
                                 std::to_string(service.Pid()) + ")\n");
  EXPECT_TRUE(second.Reports().empty());
  service.Signal(SIGTERM);
  EXPECT_EQ(service.Wait(), 0);
}
