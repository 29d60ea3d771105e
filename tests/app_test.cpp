// The whole program in-process against the emulated remote: what it sends,
// prints and shows, and how it ends.
#include "app/application.h"
#include "app/options.h"
#include "base/log.h"
#include "base/quit.h"
#include "tests/program_fixture.h"

class QuitPolicyTest : public ProgramTest {};

// The quit rule from the state it reads: each way out, and what is none.
// It remembers: asked again without the console, it says the same.
TEST_F(QuitPolicyTest, EachWayOutAndNothingElseEndsTheRun) {
  struct Case {
    const char* what;
    bool stop, lost;
    uint8_t button_byte_1, button_byte_2;
    int key;
    bool look, quit;
  } cases[] = {
      {"nothing", false, false, 0x00, 0x00, kNoKey, true, false},
      {"Home: byte 2, bit 7", false, false, 0x00, 0x80, kNoKey, false, true},
      {"the rest of byte 2", false, false, 0x00, 0x7F, kNoKey, false, false},
      {"bit 7 of byte 1", false, false, 0x80, 0x00, kNoKey, false, false},
      {"a stop signal", true, false, 0x00, 0x00, kNoKey, false, true},
      {"the remote gone", false, true, 0x00, 0x00, kNoKey, false, true},
      {"Escape", false, false, 0x00, 0x00, kEscapeKey, true, true},
      {"Escape, not looked at", false, false, 0x00, 0x00, kEscapeKey, false,
       false},
      {"another key", false, false, 0x00, 0x00, 'a', true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    stop_requested = c.stop;
    remote_lost = c.lost;
    remote_state.button_byte_1 = c.button_byte_1;
    remote_state.button_byte_2 = c.button_byte_2;
    fake::console = fake::ConsoleKeys({c.key});
    EXPECT_EQ(c.look ? QuitRequestedLookingAtConsole()
                     : QuitRequestedWithoutConsole(),
              c.quit);
    EXPECT_EQ(QuitRequestedWithoutConsole(), c.quit);
  }
}

class ApplicationTest : public ProgramTest {
 protected:
  struct Run {
    int status;
    std::string out;
    std::string err;
  };
  Run Start(const std::string& scenario) {
    EXPECT_EQ(zolmek_emulator::LoadScenarioText(scenario), "");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = [] {
      Deadline deadline("RunApplication to return");
      return RunApplication(0, nullptr, nullptr);
    }();
    return {status, testing::internal::GetCapturedStdout(),
            testing::internal::GetCapturedStderr()};
  }
  static bool Shown(const std::string& text) {
    return std::count(fake::events.begin(), fake::events.end(),
                      "box " + text) == 1;
  }
};

TEST_F(ApplicationTest, ShortRunSendsExactlyTheseReports) {
  // Nothing at detection's look and the first pass's; Escape at the second.
  fake::console = fake::ConsoleKeys({kNoKey, kNoKey, kEscapeKey});
  const Run run = Start("");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string(kBannerAndUsage) + "\n");
  std::vector<std::string> expected = {"12 00 31", "12 00 30", "11 F0",
                                       RegisterWrite("06 01 00 FF")};
  for (const char* pattern : {"EE", "FC", "FA", "F6", "EE"}) {
    const std::string write =
        RegisterWrite(std::string("02 01 ") + pattern + " 00");
    expected.insert(expected.end(), {write, write, "17 04 E8 00 00 00 02"});
  }
  const std::vector<std::string> quieting = QuietingReports();
  expected.insert(expected.end(), quieting.begin(), quieting.end());
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(remote_handle, -1);  // closed
}

TEST_F(ApplicationTest, WiiRemotePlusIsFoundToo) {
  fake::console = fake::ConsoleKeys({kNoKey, kNoKey, kEscapeKey});
  const Run run = Start("plus");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string(kBannerAndUsage) + "\n");
}

// Ctrl+C before the probe's window ends: nothing printed, and the remote
// goes back to reporting buttons only.
TEST_F(ApplicationTest, StopDuringTheProbeRestoresTheReportMode) {
  stop_requested = true;
  const Run run = Start("");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Log(), (std::vector<std::string>{"12 00 31", "12 00 30"}));
}

TEST_F(ApplicationTest, NoRemoteShowsOneBoxPrintsNothingAndFails) {
  const Run run = Start("no-remote");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Shown("Wii-Remote not found."));
  EXPECT_TRUE(Log().empty());
}

TEST_F(ApplicationTest, SilentRemoteShowsOneBoxAndNoBanner) {
  const Run run = Start("silent");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Shown("Wii-Remote cannot open."));
  EXPECT_EQ(Log(), (std::vector<std::string>{"12 00 31"}));
}

TEST_F(ApplicationTest, MissingKeypadPrintsDotsShowsBoxAndQuiets) {
  const Run run = Start("keypad absent");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            std::string(kBannerAndUsage) + std::string(79, '.') + "\n");
  EXPECT_TRUE(Shown("Zolmek is not found."));
  EXPECT_TRUE(EndsWithQuieting(Log()));
}

TEST_F(ApplicationTest, KeyPressIsEchoedTypedAndSounded) {
  fake::console = fake::ConsoleKeys({kNoKey, kNoKey, kNoKey, kEscapeKey});
  const Run run = Start("press 5 2");
  EXPECT_EQ(run.out, std::string(kBannerAndUsage) + "\npress (5)\n");
  const std::vector<std::string> tail(fake::events.end() - 4,
                                      fake::events.end() - 1);
  EXPECT_EQ(tail, (std::vector<std::string>{"key down 0x35", "key up 0x35",
                                            "sound"}));
}

// A remote that stops answering must not hold the program: each of the
// ways out still ends the scan, and the remote is still quieted.
TEST_F(ApplicationTest, ScanEndsWhenTheRemoteStopsAnswering) {
  struct Case {
    const char* name;
    const char* scenario;
    std::function<int()> console;
  } cases[] = {
      {"escape", "lost 3-100000",
       fake::ConsoleKeys({kNoKey, kNoKey, kNoKey, kEscapeKey})},
      {"home", "lost 3-100000\nhome 2", nullptr},
      {"signal", "lost 3-100000",
       [] {
         stop_requested = true;  // as the signal watcher does
         return kNoKey;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    fake::console = c.console;
    const Run run = Start(c.scenario);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(EndsWithQuieting(Log()));
    TearDown();
  }
}

TEST_F(ApplicationTest, RemoteGoneDuringScanEndsItWithAMessage) {
  const Run run = Start("disconnect 4");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "Wii-Remote connection lost.\n");
  EXPECT_FALSE(Shown("Zolmek is not found."));
  EXPECT_EQ(remote_handle, -1);
}

TEST_F(ApplicationTest, MissingSoundFileChangesNothingElse) {
  // The tests run where there is no test1.wav: the player gets nothing,
  // yet each key still asks for the sound.
  fake::console = fake::ConsoleKeys({kNoKey, kNoKey, kEscapeKey});
  Start("press 1 1");
  EXPECT_EQ(fake::events.front(), "player 0");
  EXPECT_EQ(std::count(fake::events.begin(), fake::events.end(), "sound"), 1);
}

// The command line: each option and what it sets, and what is refused.
TEST(OptionsTest, EachOptionAndEachMistake) {
  using Mode = Options::Mode;
  struct Case {
    std::vector<const char*> args;
    const char* fault;  // "" when the line is good
    Mode mode = Mode::kConsole;
    const char* sound = "";
    const char* keymap = "";
  } cases[] = {
      {{}, "", Mode::kConsole, "", ""},
      {{"--service", "--sound", "x.wav"}, "", Mode::kService, "x.wav", ""},
      {{"--check-keymap"}, "", Mode::kCheckKeymap, "", ""},
      {{"--check-keymap", "m.conf"}, "", Mode::kCheckKeymap, "", "m.conf"},
      {{"--monitor", "--keymap", "m"}, "", Mode::kMonitor, "", "m"},
      {{"--autostart", "maybe"}, "--autostart takes 'on' or 'off'"},
      {{"--service", "--monitor"},
       "--monitor cannot be combined with another mode"},
      {{"--sound"}, "--sound needs a file"},
      {{"--sound", "a", "--no-sound"},
       "--sound and --no-sound cannot be combined"},
      {{"foo"}, "unexpected argument 'foo'"},
      {{"-x"}, "unknown option '-x'"},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv = {const_cast<char*>("zolmek")};
    for (const char* arg : c.args) argv.push_back(const_cast<char*>(arg));
    SCOPED_TRACE(testing::PrintToString(c.args));
    Options options;
    EXPECT_EQ(ParseOptions(static_cast<int>(argv.size()), argv.data(), options),
              c.fault);
    if (c.fault[0] != '\0') continue;
    EXPECT_EQ(options.mode, c.mode);
    EXPECT_EQ(options.sound, c.sound);
    EXPECT_EQ(options.keymap, c.keymap);
  }
}

// Under systemd a line starts with its priority, elsewhere with the name.
TEST(LogTest, LinesCarryTheJournalsPriorityOrTheName) {
  EXPECT_STREQ(LogLinePrefix(LogLevel::kError, true), "<3>");
  EXPECT_STREQ(LogLinePrefix(LogLevel::kWarning, true), "<4>");
  EXPECT_STREQ(LogLinePrefix(LogLevel::kInfo, true), "<6>");
  EXPECT_STREQ(LogLinePrefix(LogLevel::kWarning, false), "zolmek: ");
}
