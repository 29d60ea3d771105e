// Detection and the matrix scan, run against the emulated keypad.
#include "keypad/keypad.h"

#include "tests/program_fixture.h"

TEST(FindKeyPositionTest, LastClosedSwitchInScanOrderWins) {
  struct Case {
    uint8_t columns[4];
    int position;
  } cases[] = {
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0},
      {{0xFF, 0xFF, 0xF7, 0xFF}, 16},  // row 2, column 3: "5"
      {{0xFE, 0xFF, 0xFF, 0xFF}, 1},
      {{0xFF, 0xFF, 0xFF, 0xDF}, 24},
      {{0xFE, 0xFF, 0xFF, 0xFB}, 21},  // a later row beats an earlier one
      {{0xFF, 0xF6, 0xFF, 0xFF}, 10},  // a later column in the same row
      {{0xC0, 0xFF, 0xFF, 0xFF}, 6},   // bits 6 and 7 are not columns
      {{0x3F, 0x3F, 0x3F, 0x3F}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindKeyPosition(c.columns), c.position)
        << int(c.columns[0]) << " " << int(c.columns[1]) << " "
        << int(c.columns[2]) << " " << int(c.columns[3]);
  }
}

TEST(KeyTableTest, SpellsTheKeypadRowByRow) {
  EXPECT_EQ(KeyTable[0], 0);
  EXPECT_EQ(std::string(KeyTable + 1, 24), "  + E -*963. /8520 N741 ");
}

// A pass's rows, which of them got an answer, and what the pass before
// left: the announcement, and what this pass leaves for the next. Column
// bytes of rows 0-3 read left to right: 0xFFFFF7FF is "5" down in row 2.
TEST(DecideKeyAnnouncementTest, RowsWithoutAnAnswerKeepWhatTheyHeld) {
  struct Case {
    const char* what;
    uint32_t rows;
    const char* answered;  // per row, 'y' or 'n'
    uint32_t columns_before;
    char last_before;
    char announced;
    uint32_t columns_after;
    char last_after;
  } cases[] = {
      {"a new key", 0xFFFFF7FF, "yyyy", 0xFFFFFFFF, 0, '5', 0xFFFFF7FF, '5'},
      {"held", 0xFFFFF7FF, "yyyy", 0xFFFFF7FF, '5', 0, 0xFFFFF7FF, '5'},
      {"released", 0xFFFFFFFF, "yyyy", 0xFFFFF7FF, '5', 0, 0xFFFFFFFF, 0},
      {"held key's row unanswered: still held", 0xFFFFFFFF, "yyny", 0xFFFFF7FF,
       '5', 0, 0xFFFFF7FF, '5'},
      {"another row unanswered: its old state counts", 0xFFFFFFFF, "nyyy",
       0xFBFFFFFF, '+', 0, 0xFBFFFFFF, '+'},
      {"nothing answered yet: no key", 0xFFFFF7FF, "nnnn", 0xFFFFFFFF, 0, 0,
       0xFFFFFFFF, 0},
      {"a later row's key wins over a kept one", 0xFFFFFFFB, "yyny", 0xFFFFF7FF,
       '5', '7', 0xFFFFF7FB, '7'},
      {"space to space is no news", 0xFDFFFFFF, "yyyy", 0xFEFFFFFF, ' ', 0,
       0xFDFFFFFF, ' '},
  };
  auto bytes = [](uint32_t packed, uint8_t out[4]) {
    for (int row = 0; row < 4; ++row) out[row] = packed >> (24 - 8 * row);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint8_t rows[4];
    bool answered[4];
    KeypadState state;
    bytes(c.rows, rows);
    for (int row = 0; row < 4; ++row) answered[row] = c.answered[row] == 'y';
    bytes(c.columns_before, state.columns);
    state.last = c.last_before;
    EXPECT_EQ(DecideKeyAnnouncement(rows, answered, state), c.announced);
    uint8_t after[4];
    bytes(c.columns_after, after);
    EXPECT_EQ(std::memcmp(state.columns, after, 4), 0);
    EXPECT_EQ(state.last, c.last_after);
  }
}

class DetectKeypadTest : public ProgramTest {};

TEST_F(DetectKeypadTest, KeypadAnsweringAtOnceCostsOneAttempt) {
  OpenRemote();
  testing::internal::CaptureStdout();
  EXPECT_TRUE(DetectKeypad());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(Log(),
            (std::vector<std::string>{
                RegisterWrite("06 01 00 FF"), RegisterWrite("02 01 EE 00"),
                RegisterWrite("02 01 EE 00"), "17 04 E8 00 00 00 02"}));
}

TEST_F(DetectKeypadTest, DotPerFailedAttempt) {
  struct Case {
    const char* scenario;
    bool found;
    size_t dots;
  } cases[] = {
      {"keypad from 4", true, 3},   {"keypad from 79", true, 78},
      {"keypad absent", false, 79}, {"keypad from 80", false, 79},
      {"lost 1-2", true, 2},  // unanswered reads are failed attempts too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    SetUp();
    OpenRemote(c.scenario);
    testing::internal::CaptureStdout();
    EXPECT_EQ(DetectKeypad(), c.found);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(c.dots, '.'));
    TearDown();
  }
}

// The expander needs more than a millisecond after each register write
// before the next report: the direction write, both row writes, and the
// release.
TEST_F(DetectKeypadTest, EveryRegisterWriteIsFollowedByAMillisecond) {
  OpenRemote();
  testing::internal::CaptureStdout();
  ASSERT_TRUE(DetectKeypad());
  testing::internal::GetCapturedStdout();
  ReleaseExpander();
  SetReportModeButtons();
  const std::vector<std::string> log = Log();
  const std::vector<int64_t> at = zolmek_emulator::OutputLogTimes();
  ASSERT_EQ(log.size(), 6u);
  for (size_t i = 0; i + 1 < log.size(); ++i) {
    if (log[i].rfind("16", 0) != 0) continue;  // register writes only
    EXPECT_GT(at[i + 1] - at[i], 1'000'000) << log[i];
  }
}

// The console is looked at once per attempt, and between the slices of a
// long wait; the dots say which attempts ended.
TEST_F(DetectKeypadTest, EscapeEndsItWithoutAnotherAttempt) {
  struct Case {
    const char* scenario;
    std::vector<int> console;
    const char* dots;
  } cases[] = {
      {"keypad absent", {kNoKey, kNoKey, kEscapeKey}, ".."},
      // Escape while the first answer is awaited: no dot for that attempt.
      {"lost 1-100000", {kNoKey, kEscapeKey}, ""},
      // A wrong echo fails the attempt at once, without waiting out the
      // read's time: the next look is the second attempt's.
      {"port-a 0xFF", {kNoKey, kEscapeKey}, "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    SetUp();
    OpenRemote(c.scenario);
    fake::console = fake::ConsoleKeys(c.console);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(DetectKeypad());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.dots);
    EXPECT_TRUE(stop_requested);
    TearDown();
  }
}

TEST_F(DetectKeypadTest, ReleaseLetsEveryPinGo) {
  OpenRemote();
  ReleaseExpander();
  EXPECT_EQ(Log().back(), RegisterWrite("06 01 FF FF"));
}

// One scan per case: key events at given passes, Escape when pass `passes`
// + 1 begins; compares the console lines and the host events.
class ScanKeypadTest : public ProgramTest {
 protected:
  struct Run {
    std::string out;
    std::vector<std::string> events;
    std::vector<std::string> reports;
  };
  // `console`, when given, answers the console's looks instead.
  Run Scan(const std::string& scenario, int passes,
           std::function<int()> console = nullptr) {
    OpenRemote(scenario);
    ConfigureExpander();
    std::vector<int> keys(passes, kNoKey);
    keys.push_back(kEscapeKey);
    fake::console = console ? console : fake::ConsoleKeys(keys);
    testing::internal::CaptureStdout();
    {
      Deadline deadline("ScanKeypad to end on Escape or Home");
      ScanKeypad();
    }
    Run run{testing::internal::GetCapturedStdout(), fake::events, Log()};
    TearDown();
    SetUp();
    return run;
  }
};

const std::vector<std::string> kFive = {"key down 0x35", "key up 0x35",
                                        "sound"};

TEST_F(ScanKeypadTest, KeyIsAnnouncedOncePerPress) {
  Run held = Scan("press 5 2", 8);
  EXPECT_EQ(held.out, "press (5)\n");
  EXPECT_EQ(held.events, kFive);

  Run twice = Scan("press 5 2\nrelease 5 3\npress 5 4", 6);
  EXPECT_EQ(twice.out, "press (5)\npress (5)\n");
  EXPECT_EQ(twice.events.size(), 6u);
}

// Pass 3 reads the held key's row with request 11. Whatever happens to that
// one read, the key stays down: typed once. (Home ends the scan: a wait for
// a missing answer looks at the console, so the Escape of Scan's count of
// passes would come early.)
TEST_F(ScanKeypadTest, HeldKeyStaysDownThroughOneBadRead) {
  for (const char* bad : {"lost 11", "late 11 300", "error7 11"}) {
    SCOPED_TRACE(bad);
    Run held = Scan(std::string("press 5 2\nhome 6\n") + bad, 100);
    EXPECT_EQ(held.out, "press (5)\n");
    EXPECT_EQ(held.events, kFive);
  }
}

TEST_F(ScanKeypadTest, LaterKeyInScanOrderWinsUntilReleased) {
  Run run = Scan("press 7 2\npress 5 3\nrelease 7 4", 6);
  EXPECT_EQ(run.out, "press (7)\npress (5)\n");
  EXPECT_EQ(run.events, (std::vector<std::string>{
                            "key down 0x37", "key up 0x37", "sound",
                            "key down 0x35", "key up 0x35", "sound"}));
}

TEST_F(ScanKeypadTest, MovingStraightToAnotherKeyAnnouncesIt) {
  Run run = Scan("press 5 2\nrelease 5 3\npress 8 3", 5);
  EXPECT_EQ(run.out, "press (5)\npress (8)\n");
}

TEST_F(ScanKeypadTest, SpacePositionsPrintAndSoundButTypeNothing) {
  // Sliding between two space positions is the same character: no news.
  Run run = Scan("press r0c0 2\nrelease r0c0 3\npress r0c1 3", 5);
  EXPECT_EQ(run.out, "press ( )\n");
  EXPECT_EQ(run.events, (std::vector<std::string>{"sound"}));
}

TEST_F(ScanKeypadTest, KeysTypeTheirVirtualKeys) {
  Run run =
      Scan("press E 2\nrelease E 3\npress N 4\nrelease N 5\npress . 6", 7);
  EXPECT_EQ(run.out, "press (E)\npress (N)\npress (.)\n");
  EXPECT_EQ(run.events, (std::vector<std::string>{
                            "key down 0x0D", "key up 0x0D", "sound",
                            "key down 0x2E", "key up 0x2E", "sound",
                            "key down 0x6E", "key up 0x6E", "sound"}));
}

TEST_F(ScanKeypadTest, OtherConsoleKeysAreSwallowed) {
  OpenRemote("press 5 1");
  ConfigureExpander();
  fake::console = fake::ConsoleKeys({'a', kOtherKey, kNoKey, kEscapeKey});
  testing::internal::CaptureStdout();
  {
    Deadline deadline("ScanKeypad to end on Escape");
    ScanKeypad();
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "press (5)\n");
}

TEST_F(ScanKeypadTest, HomeButtonEndsTheScan) {
  OpenRemote("home 3");
  ConfigureExpander();
  Deadline deadline("ScanKeypad to end on Home");
  ScanKeypad();  // no Escape ever comes
  EXPECT_NE(remote_state.button_byte_2 & kHomeButtonBit, 0);
}

// A quit in the middle of a pass (a stop signal sets the same flag as
// Escape) ends it before the next row: the rows
// after are neither driven nor read, and the part read is not announced.
// "+" (row 0) is down from pass 3 on; pass 3 reads row 0 with request 9.
TEST_F(ScanKeypadTest, QuitMidPassEndsItBeforeTheNextRow) {
  struct Case {
    const char* what;
    const char* scenario;
    std::function<int()> console;
    const char* last_row;
  } cases[] = {
      {"Home, reported with row 0's answer", "press + 3\nhome 3", nullptr,
       "FC"},
      {"Escape while row 1's answer is late", "press + 3\nlate 10 100",
       fake::ConsoleKeys({kNoKey, kNoKey, kNoKey, kEscapeKey}), "FA"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Run run = Scan(c.scenario, 100, c.console);
    EXPECT_EQ(run.out, "");
    const std::string row =
        RegisterWrite(std::string("02 01 ") + c.last_row + " 00");
    EXPECT_EQ(
        std::vector<std::string>(run.reports.end() - 3, run.reports.end()),
        (std::vector<std::string>{row, row, kReadRequest}));
  }
}

TEST_F(ScanKeypadTest, SomeoneElsesAnswersAreNotTakenForARow) {
  // Before each of ours, an answer to another address that reads as if
  // every column were down.
  Run foreign = Scan("foreign 2-20\npress 5 2", 4);
  EXPECT_EQ(foreign.out, "press (5)\n");
}
