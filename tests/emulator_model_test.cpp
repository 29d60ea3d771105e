// Unit tests of the emulated remote's model and scenario parser.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/remote_model.h"
#include "emulator/scenario.h"

namespace zolmek_emulator {
namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

const TimePoint kStart = TimePoint{} + std::chrono::hours(1);

RemoteModel MakeModel(const std::string& text) {
  ScenarioParseResult parsed = ParseScenario(text);
  EXPECT_TRUE(parsed.ok()) << parsed.Message();
  return RemoteModel(parsed.scenario);
}

// Drives the model the way the program does, at a fixed time.
struct Driver {
  RemoteModel model;
  TimePoint now = kStart;

  void Send(Bytes report) {
    report.resize(RemoteOutputReportLength(report[0]), 0x00);
    ASSERT_EQ(model.HandleOutputReport(report, now), report.size());
  }
  void WriteExpander(uint8_t reg, uint8_t b0, uint8_t b1 = 0, uint8_t ss = 0) {
    Send({0x16, 0x04, 0xE8, 0x00, reg, ss, b0, b1});
  }
  void ConfigureRows() { WriteExpander(0x06, 0x00, 0xFF, 1); }
  // Every report due by now, in delivery order.
  std::vector<Bytes> Drain() {
    std::vector<Bytes> out;
    while (auto r = model.PopDue(now)) out.push_back(r->bytes);
    return out;
  }
  // Drives a row pattern and reads both ports; returns the 0x21 replies.
  std::vector<Bytes> ReadRow(uint8_t pattern, uint8_t device = 0xE8) {
    WriteExpander(0x02, pattern);
    Send({0x17, 0x04, device, 0x00, 0x00, 0x00, 0x02});
    std::vector<Bytes> replies;
    for (Bytes& r : Drain()) {
      if (r[0] == 0x21) replies.push_back(r);
    }
    return replies;
  }
};

constexpr uint8_t kRows[] = {0xFC, 0xFA, 0xF6, 0xEE};

TEST(EmulatorModelTest, KeyShowsInItsRowAndColumnOnly) {
  struct Case {
    std::string key;
    int row, column;
  } cases[] = {{"+", 0, 2},    {"E", 0, 4},   {"-", 1, 0}, {".", 1, 5},
               {"/", 2, 1},    {"0", 2, 5},   {"N", 3, 1}, {"1", 3, 4},
               {"r0c0", 0, 0}, {"r3c5", 3, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    Driver d{MakeModel("press " + c.key + " 1")};
    d.ConfigureRows();
    for (int row = 0; row < 4; ++row) {
      const auto replies = d.ReadRow(kRows[row]);
      ASSERT_EQ(replies.size(), 1u);
      EXPECT_EQ(replies[0][3], 0x10);  // two bytes, no error
      EXPECT_EQ(replies[0][6], kRows[row]);
      const uint8_t expected =
          row == c.row ? static_cast<uint8_t>(0xFF & ~(1u << c.column)) : 0xFF;
      EXPECT_EQ(replies[0][7], expected) << "row " << row;
    }
  }
}

TEST(EmulatorModelTest, PortLevelsFollowDirectionAndLatch) {
  Driver d{MakeModel("")};
  EXPECT_EQ(d.model.PortALevel(), 0xFF);  // inputs with pull-ups
  d.WriteExpander(0x02, 0xFC);
  EXPECT_EQ(d.model.PortALevel(), 0xFF);  // latch not driven yet
  d.ConfigureRows();
  EXPECT_EQ(d.model.PortALevel(), 0xFC);
  d.WriteExpander(0x03, 0x0F);
  d.WriteExpander(0x07, 0xF0);  // port B low nibble drives its latch
  EXPECT_EQ(d.model.PortBLevel(), 0xFF);
  d.WriteExpander(0x03, 0x00);
  EXPECT_EQ(d.model.PortBLevel(), 0xF0);
  EXPECT_EQ(d.Drain().size(), 5u);  // each write acknowledged
}

TEST(EmulatorModelTest, ErrorSevenCases) {
  struct Case {
    std::string scenario;
    uint8_t device;
    std::vector<int> errors;  // expected error code of requests 1, 2, ...
  } cases[] = {
      {"", 0xE8, {0, 0, 0}},
      {"", 0xA4, {7, 7}},
      {"keypad absent", 0xE8, {7, 7, 7}},
      {"keypad from 3", 0xE8, {7, 7, 0, 0}},
      {"error7 2-3\nerror7 5", 0xE8, {0, 7, 7, 0, 7, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    Driver d{MakeModel(c.scenario)};
    d.ConfigureRows();
    for (int error : c.errors) {
      const auto replies = d.ReadRow(0xFA, c.device);
      ASSERT_EQ(replies.size(), 1u);
      EXPECT_EQ(replies[0][3], 0x10 | error);
      if (error != 0) {
        EXPECT_EQ(replies[0][6], 0x00);
      }
    }
  }
}

// Seen as the program sees it: "9" (row 1, column 2) in row 1's answers,
// Home in the button reports, and error 7 for read request 9 alone.
TEST(EmulatorModelTest, PassesCountRowZeroReadsAndApplyKeyEvents) {
  Driver d{
      MakeModel("press 9 1\nrelease 9 2\npress 9 3\nrelease 9 4\nhome 3\n"
                "home-release 4\nerror7 9")};
  d.ReadRow(0xFC);  // port A still input: no pass, so "9" is not down
  d.ConfigureRows();
  const uint8_t row_1_after_pass[] = {0xFB, 0xFF, 0xFB, 0xFF};
  for (int pass = 1; pass <= 4; ++pass) {
    d.WriteExpander(0x02, 0xFC);
    d.Send({0x17, 0x04, 0xE8, 0x00, 0x00, 0x00, 0x02});
    auto reports = d.Drain();
    if (pass == 3 || pass == 4) {
      // The button change comes before the read's answer.
      ASSERT_EQ(reports.size(), 3u);
      EXPECT_EQ(reports[1], (Bytes{0x30, 0x00, uint8_t(pass == 3 ? 0x80 : 0)}));
      EXPECT_EQ(reports[2][0], 0x21);
    }
    const auto replies = d.ReadRow(0xFA);  // other rows do not begin passes
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0][3], pass == 4 ? 0x17 : 0x10) << "pass " << pass;
    if (pass < 4) {
      EXPECT_EQ(replies[0][7], row_1_after_pass[pass - 1]);
    }
  }
  EXPECT_EQ(d.model.first_scan_read(), kStart);
}

TEST(EmulatorModelTest, LiveKeysAndHomeTakeEffectAtOnce) {
  Driver d{MakeModel("")};
  d.ConfigureRows();
  d.model.SetKeyClosed(KeyPositionOfCharacter('6'), true);
  auto replies = d.ReadRow(0xFA);  // row 1, where 6 is column 3
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0][7], 0xF7);
  d.model.SetKeyClosed(KeyPositionOfCharacter('6'), false);
  d.model.SetKeyClosed(0, true);   // no such position: ignored
  d.model.SetKeyClosed(25, true);  // nor this
  replies = d.ReadRow(0xFA);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0][7], 0xFF);

  // Home is reported once per change, also in the read replies' buttons.
  d.model.SetHome(true, d.now);
  d.model.SetHome(true, d.now);
  EXPECT_EQ(d.Drain(), (std::vector<Bytes>{{0x30, 0x00, 0x80}}));
  replies = d.ReadRow(0xFA);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0][2], 0x80);
  d.model.SetHome(false, d.now);
  EXPECT_EQ(d.Drain(), (std::vector<Bytes>{{0x30, 0x00, 0x00}}));
}

// After a status report the remote sends no data report, stream or button
// change, until the mode is set again; register reads are still answered.
TEST(EmulatorModelTest, StatusReportStopsDataReportsUntilTheModeIsSet) {
  const struct {
    std::string scenario;
    uint8_t flags, level;
  } cases[] = {
      // Levels: the lowest that BatteryPercent shows as 80, 9 and 100 %.
      {"", 0x12, 204},  // LED 1, a keypad in the port
      {"keypad absent\nbattery 9", 0x10, 23},
      {"keypad from 2\nbattery 100", 0x10, 255},  // nothing there yet
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    Driver d{MakeModel(c.scenario)};
    d.Send({0x11, 0x10});
    d.Send({0x12, 0x00, 0x31});
    d.Send({0x15, 0x00});
    EXPECT_EQ(d.Drain().back(), (Bytes{0x20, 0, 0, c.flags, 0, 0, c.level}));
    d.now += milliseconds(100);
    d.model.SetHome(true, d.now);
    d.Send({0x17, 0x04, 0xE8, 0x00, 0x00, 0x00, 0x02});
    EXPECT_EQ(d.Drain().size(), 1u);  // the answer: no stream, no Home
    d.Send({0x12, 0x00, 0x31});
    d.now += milliseconds(10);
    EXPECT_EQ(d.Drain().size(), 2u);  // the stream again
  }
}

// Connection 1 ends after request 3 and the remote is back 100 ms later as a
// fresh one; connection 2 counts from 1 and ends for good after request 2.
TEST(EmulatorModelTest, RemoteComesBackFreshAndCountsAnew) {
  Driver d{MakeModel(
      "disconnect 3\nreconnect 100\ndisconnect 2\npress 5 2:1\nrelease 5 3")};
  d.Send({0x11, 0x10});
  d.ConfigureRows();
  d.ReadRow(0xFC);                            // pass 1
  EXPECT_EQ(d.ReadRow(0xF6).at(0)[7], 0xFF);  // 5 is for connection 2
  EXPECT_EQ(d.ReadRow(0xFA).size(), 1u);      // the last answer
  ASSERT_TRUE(d.model.IsGone(d.now));
  EXPECT_EQ(d.model.ReturnTime(), d.now + milliseconds(100));
  EXPECT_FALSE(d.model.Reconnect(d.now + milliseconds(99)));
  d.now += milliseconds(100);
  ASSERT_TRUE(d.model.Reconnect(d.now));
  EXPECT_EQ(d.model.connection(), 2);
  EXPECT_EQ(d.model.leds(), 0x00);
  EXPECT_EQ(d.model.PortALevel(), 0xFF);  // rows undriven again
  d.ConfigureRows();
  d.ReadRow(0xFC);  // pass 1 of connection 2, request 1
  EXPECT_EQ(d.ReadRow(0xF6).at(0)[7], 0xF7);
  EXPECT_TRUE(d.model.IsGone(d.now));
  EXPECT_FALSE(d.model.ReturnTime().has_value());
  EXPECT_FALSE(d.model.Reconnect(d.now + std::chrono::hours(1)));
}

TEST(EmulatorModelTest, LostLateForeignAndDisconnect) {
  Driver d{MakeModel("lost 1\nlate 2 30\nforeign 3\ndisconnect 4")};
  d.ConfigureRows();
  EXPECT_TRUE(d.ReadRow(0xFC).empty());  // lost
  EXPECT_TRUE(d.ReadRow(0xFC).empty());  // late: not yet
  d.now += milliseconds(30);
  EXPECT_EQ(d.Drain().size(), 1u);
  const auto replies = d.ReadRow(0xFC);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0][5], 0x20);  // someone else's address
  EXPECT_EQ(replies[0][7], 0x00);
  EXPECT_EQ(replies[1][5], 0x00);
  EXPECT_EQ(d.ReadRow(0xFC).size(), 1u);  // the last answer still arrives
  EXPECT_TRUE(d.model.IsGone(d.now));
  const Bytes mode = {0x12, 0x00, 0x30};
  EXPECT_EQ(d.model.HandleOutputReport(mode, d.now), 0u);
}

TEST(EmulatorModelTest, StreamInMode31) {
  struct Case {
    std::string scenario;
    Bytes first, later;
    int interval_ms, latency_ms;
  } cases[] = {
      {"",
       {0x31, 0, 0, 0x80, 0x80, 0x9A},
       {0x31, 0, 0, 0x80, 0x80, 0x9A},
       10,
       0},
      {"interval 4\nlatency 3\naccel-x 0",
       {0x31, 0, 0, 0, 0x80, 0x9A},
       {0x31, 0, 0, 0, 0x80, 0x9A},
       4,
       3},
      {"first-accel-x 0",
       {0x31, 0, 0, 0, 0x80, 0x9A},
       {0x31, 0, 0, 0x80, 0x80, 0x9A},
       10,
       0},
      {"first-report 0x30",
       {0x30, 0, 0},
       {0x31, 0, 0, 0x80, 0x80, 0x9A},
       10,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    Driver d{MakeModel(c.scenario)};
    d.Send({0x12, 0x00, 0x31});
    EXPECT_EQ(d.model.NextEventTime(), kStart + milliseconds(c.latency_ms));
    d.now += milliseconds(c.latency_ms + 3 * c.interval_ms);
    const auto reports = d.Drain();
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0], c.first);
    EXPECT_EQ(reports[3], c.later);
    d.Send({0x12, 0x00, 0x30});  // buttons only: the stream stops
    d.now += milliseconds(100);
    EXPECT_TRUE(d.Drain().empty());
  }
}

TEST(EmulatorModelTest, UnreadReportsAreCappedAndSilentSendsNothing) {
  Driver d{MakeModel("")};
  d.Send({0x12, 0x00, 0x31});
  d.now += std::chrono::seconds(5);
  EXPECT_EQ(d.Drain().size(), kMaxArrivedReports);

  Driver silent{MakeModel("silent")};
  silent.Send({0x12, 0x00, 0x31});
  silent.ConfigureRows();
  silent.ReadRow(0xFC);
  silent.now += std::chrono::seconds(1);
  EXPECT_TRUE(silent.Drain().empty());
  EXPECT_FALSE(silent.model.NextEventTime().has_value());
}

TEST(EmulatorModelTest, ScenarioParseErrorsNameTheLine) {
  struct Case {
    std::string text, message;
  } cases[] = {
      {"# comment\n\nsilent\nfoo", "line 4: unknown word 'foo'"},
      {"interval x", "line 1: bad number 'x'"},
      {"latency", "line 1: 'latency' needs 1 argument"},
      {"silent now", "line 1: unexpected word 'now'"},
      {"press Q 1", "line 1: unknown key 'Q'"},
      {"press r4c0 1", "line 1: unknown key 'r4c0'"},
      {"error7 5-2", "line 1: empty range '5-2'"},
      {"accel-x 0x100", "line 1: number out of range '0x100'"},
      {"keypad maybe", "line 1: 'keypad' needs 'absent' or 'from N'"},
      {"reconnect 5", "line 1: 'reconnect' needs a 'disconnect' before it"},
      {"battery 101", "line 1: number out of range '101'"},
      {"press 5 0:3", "line 1: number must be at least 1 '0'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseScenario(c.text).Message(), c.message) << c.text;
  }
  const auto ok = ParseScenario(
      "interval 0x14 # hex\nlate 3-5 40\npress r0c1 2\nkeypad from 7\n"
      "disconnect 4\nreconnect 0\nhome 3:2");
  ASSERT_TRUE(ok.ok()) << ok.Message();
  EXPECT_EQ(ok.scenario.interval_ms, 20);
  EXPECT_EQ(ok.scenario.late[0].requests.last, 5);
  EXPECT_EQ(ok.scenario.events[0].position, 2);
  EXPECT_EQ(ok.scenario.keypad_from, 7);
  EXPECT_EQ(ok.scenario.disconnects[0].reconnect_ms, 0);
  EXPECT_EQ(ok.scenario.events[1].connection, 3);
  EXPECT_EQ(ok.scenario.events[1].pass, 2);
}

}  // namespace
}  // namespace zolmek_emulator
