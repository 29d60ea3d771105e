// The report layer: what goes out byte for byte, how replies are matched to
// requests, and the liveness probe.
#include <chrono>

#include "keypad/keypad.h"
#include "tests/program_fixture.h"

using Clock = std::chrono::steady_clock;

class OutputReportTest : public ProgramTest {};

TEST_F(OutputReportTest, CommandsSendTheirExactBytes) {
  OpenRemote();
  SetReportModeAccel();
  SetReportModeButtons();
  SetLeds(0xF0);
  WriteRegisters(0xE8, 2, 6, 0x00, 0xFF);
  RequestRegisterRead(0xE8, 2, 0);
  EXPECT_EQ(Log(), (std::vector<std::string>{"12 00 31", "12 00 30", "11 F0",
                                             RegisterWrite("06 01 00 FF"),
                                             "17 04 E8 00 00 00 02"}));
}

TEST_F(OutputReportTest, CommandsLeaveBytesTheyDoNotNameAlone) {
  OpenRemote();
  WriteRegisters(0xE8, 2, 2, 0xAB, 0xCD);
  RequestRegisterRead(0xE8, 2, 0);
  // The read request names bytes 0-6 only: the write's data byte 7 and
  // its zero padding stay.
  EXPECT_EQ(OutputReportBuffer[7], 0xCD);
  SetLeds(0x10);
  EXPECT_EQ(OutputReportBuffer[1], 0x10);
  EXPECT_EQ(OutputReportBuffer[2], 0xE8);
  SetReportMode(0x00, 0x30);
  EXPECT_EQ(OutputReportBuffer[3], 0x00);
  EXPECT_EQ(OutputReportBuffer[4], 0x00);
  EXPECT_EQ(OutputReportBuffer[6], 0x02);
}

TEST_F(OutputReportTest, SizeByteIsCountMinusOneInWritesButCountInReads) {
  OpenRemote();
  WriteRegisters(0xE8, 1, 2, 0x11, 0x22);
  EXPECT_EQ(OutputReportBuffer[5], 0x00);
  WriteRegisters(0xE8, 0, 2, 0x11, 0x22);  // wraps as an unsigned byte
  EXPECT_EQ(OutputReportBuffer[5], 0xFF);
  RequestRegisterRead(0xE8, 2, 0);
  EXPECT_EQ(OutputReportBuffer[6], 0x02);
}

// What the remote layer hands on (AwaitReadAnswer), and what the keypad
// makes of it (ReadKeypadRow).
class InputReportTest : public ProgramTest {
 protected:
  // A 0x21 answer to a read of register 0, with error code and data.
  static std::vector<uint8_t> Reply(uint8_t size_error, uint8_t first,
                                    uint8_t second, uint8_t addr_low = 0,
                                    uint8_t addr_middle = 0) {
    std::vector<uint8_t> r(22, 0);
    r[0] = 0x21;
    r[3] = size_error;
    r[4] = addr_middle;
    r[5] = addr_low;
    r[6] = first;
    r[7] = second;
    return r;
  }
  bool Answer() { return AwaitReadAnswer(ReadReplyDeadline(), answer); }
  RegisterAnswer answer = {};
  uint8_t first = 0, second = 0;
};

TEST_F(InputReportTest, ErrorSevenReadsAsNoKeyAndOtherCodesDeliverData) {
  OpenRemote("silent");
  zolmek_emulator::InjectReport(Reply(0x17, 0xEE, 0x12));
  EXPECT_FALSE(ReadKeypadRow(0xEE, first, second));
  EXPECT_EQ(first, 0xFF);
  EXPECT_EQ(second, 0xFF);
  zolmek_emulator::InjectReport(Reply(0x18, 0xEE, 0x12));
  EXPECT_TRUE(ReadKeypadRow(0xEE, first, second));
  EXPECT_EQ(first, 0xEE);
  EXPECT_EQ(second, 0x12);
}

TEST_F(InputReportTest, ButtonReportsOnTheWayUpdateButtonsButNotAccelerometer) {
  OpenRemote("silent");
  remote_state.accel_x = 0x55;
  zolmek_emulator::InjectReport({0x31, 0x01, 0x02, 0x90, 0x91, 0x92});
  zolmek_emulator::InjectReport({0x22, 0x00, 0x00, 0x16, 0x00});
  zolmek_emulator::InjectReport({0x30, 0x03, 0x04});
  zolmek_emulator::InjectReport(Reply(0x10, 0xFC, 0xF7));
  ASSERT_TRUE(Answer());
  EXPECT_EQ(answer.data[1], 0xF7);
  EXPECT_EQ(remote_state.button_byte_1, 0x03);
  EXPECT_EQ(remote_state.button_byte_2, 0x04);
  EXPECT_EQ(remote_state.accel_x, 0x55);

  zolmek_emulator::InjectReport({0x31, 0x01, 0x02, 0x90, 0x91, 0x92});
  PollRemote(100);
  EXPECT_EQ(remote_state.accel_x, 0x90);
  EXPECT_EQ(remote_state.accel_z, 0x92);
}

TEST_F(InputReportTest, AnswersToOtherReadsAreNotTakenForOurs) {
  OpenRemote("silent");
  // Someone else's reads (another register; another middle address byte),
  // and the late answer to an earlier row (pin 2 high although this row
  // drives it low).
  zolmek_emulator::InjectReport(Reply(0x10, 0xFC, 0x00, 0x20));
  zolmek_emulator::InjectReport(Reply(0x10, 0xFC, 0x00, 0x00, 0x01));
  zolmek_emulator::InjectReport(Reply(0x10, 0xFA, 0xFE));
  zolmek_emulator::InjectReport(Reply(0x10, 0xFC, 0xDF));
  EXPECT_TRUE(ReadKeypadRow(0xFC, first, second));
  EXPECT_EQ(first, 0xFC);
  EXPECT_EQ(second, 0xDF);
}

// A report cut short leaves the rest of the buffer as an earlier report
// left it: a Home bit, an accelerometer byte, an answer there are not its.
TEST_F(InputReportTest, ShortReportsTakeNoBytesTheyDidNotBring) {
  OpenRemote("silent");
  std::vector<uint8_t> other(22, 0x00);
  other[0] = 0x3D;
  other[2] = 0x80;  // where a button report has the Home bit
  other[3] = 0x90;  // accelerometer X; a register answer's error code
  other[6] = 0xFC;
  zolmek_emulator::InjectReport(other);
  zolmek_emulator::InjectReport({0x31, 0x00});
  PollRemote(100);
  PollRemote(100);
  EXPECT_EQ(remote_state.button_byte_2, 0x00);
  EXPECT_EQ(remote_state.accel_x, 0x00);
  other[3] = 0x10;
  other[7] = 0xF7;  // a closed switch
  zolmek_emulator::InjectReport(other);
  zolmek_emulator::InjectReport({0x21, 0x00, 0x00, 0x10});
  zolmek_emulator::InjectReport(Reply(0x10, 0xFC, 0xFF));
  EXPECT_TRUE(ReadKeypadRow(0xFC, first, second));
  EXPECT_EQ(second, 0xFF);
}

TEST_F(InputReportTest, UnansweredReadGivesUpAsNoKey) {
  OpenRemote("silent");
  const auto start = Clock::now();
  EXPECT_FALSE(ReadKeypadRow(0xFC, first, second));
  EXPECT_GE(Clock::now() - start,
            std::chrono::milliseconds(kReadReplyTimeoutMs));
  EXPECT_EQ(second, 0xFF);
  EXPECT_FALSE(remote_lost);
}

TEST_F(InputReportTest, EscapeEndsAWaitForAnAnswerThatDoesNotCome) {
  OpenRemote("silent");
  fake::console = fake::ConsoleKeys({kNoKey, kEscapeKey});
  EXPECT_FALSE(Answer());
  EXPECT_TRUE(stop_requested);
}

// Reports that are no answer, one a millisecond for longer than the wait:
// no read comes back empty, and still the console is looked at.
TEST_F(InputReportTest, EscapeEndsAWaitThatOtherReportsKeepBusy) {
  OpenRemote("silent");
  for (int ms = 0; ms < 2 * kReadReplyTimeoutMs; ++ms) {
    zolmek_emulator::InjectReport({0x22, 0x00, 0x00, 0x16, 0x00}, ms);
  }
  fake::console = fake::ConsoleKeys({kEscapeKey});
  EXPECT_FALSE(Answer());
  EXPECT_TRUE(stop_requested);
}

TEST_F(InputReportTest, FailedReadMarksTheRemoteLost) {
  OpenRemote("silent");
  CloseHidHandle(remote_handle);
  EXPECT_FALSE(Answer());
  EXPECT_TRUE(remote_lost);
  remote_handle = -1;
}

class ProbeTest : public ProgramTest {};

TEST_F(ProbeTest, LiveRemoteStreamingAccelerometerIsAlive) {
  OpenRemote();
  SetReportModeAccel();
  const auto start = Clock::now();
  EXPECT_TRUE(ProbeRemote());
  // Just over the window, even though the reader is still pausing.
  const auto took = Clock::now() - start;
  EXPECT_GT(took, std::chrono::milliseconds(100));
  StopProbeReader();
}

// The first report the reader takes decides, even when good ones follow.
TEST_F(ProbeTest, RemotesThatDoNotProveThemselvesAreSilent) {
  for (const char* scenario :
       {"silent", "first-report 0x30", "first-accel-x 0", "accel-x 0"}) {
    SCOPED_TRACE(scenario);
    SetUp();
    OpenRemote(scenario);
    SetReportModeAccel();
    EXPECT_FALSE(ProbeRemote());
    StopProbeReader();  // ends by itself: its reads are timed
    TearDown();
  }
}

TEST_F(ProbeTest, ButtonsOnlyModeIsSilent) {
  OpenRemote();
  SetReportModeButtons();
  EXPECT_FALSE(ProbeRemote());
  StopProbeReader();
}
