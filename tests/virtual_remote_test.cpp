// zolmek-remote's parts on the host, which has no /dev/uhid: the report
// descriptor against the transport's own parser, the uhid protocol against a
// socket that plays the kernel, and the interactive keys.
#include <gtest/gtest.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <vector>

#include "emulator/remote_model.h"
#include "transport/report_descriptor.h"
#include "virtual_remote/keys.h"
#include "virtual_remote/report_descriptor.h"
#include "virtual_remote/uhid_remote.h"

namespace zolmek_remote {
namespace {

using zolmek_emulator::Clock;

TEST(VirtualRemoteTest, DescriptorGivesTheTransportTheRemotesLengths) {
  const std::vector<uint8_t> descriptor = RemoteReportDescriptor();
  uint16_t lengths[256];
  ASSERT_EQ(
      ParseOutputReportLengths(descriptor.data(), descriptor.size(), lengths),
      5);
  for (int id = 0; id < 256; ++id) {
    EXPECT_EQ(lengths[id], RemoteOutputReportLength(static_cast<uint8_t>(id)))
        << "report " << id;
  }
  // The input reports the model sends are declared (the kernel passes on
  // no other).
  for (uint8_t id : {kReadReplyReport, kAcknowledgeReport, kButtonsReport,
                     kButtonsAccelReport}) {
    EXPECT_NE(std::find(std::begin(kInputReports), std::end(kInputReports), id),
              std::end(kInputReports))
        << "input report " << int(id);
  }
}

// The kernel's side of /dev/uhid: one event per message.
class FakeKernel {
 public:
  FakeKernel() {
    int fds[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0, fds), 0);
    remote_fd = fds[0];
    kernel_fd_ = fds[1];
    // Room for a burst of events, each the full 4 KiB and more of the kernel.
    const int size = 1 << 20;
    for (int fd : fds) {
      setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
  }
  ~FakeKernel() {
    close(remote_fd);
    close(kernel_fd_);
  }
  void Send(const uhid_event& event) {
    ASSERT_EQ(write(kernel_fd_, &event, sizeof event),
              static_cast<ssize_t>(sizeof event));
  }
  void SendType(uint32_t type) {
    uhid_event event{};
    event.type = type;
    Send(event);
  }
  void SendOutput(std::vector<uint8_t> report) {
    uhid_event event{};
    event.type = UHID_OUTPUT;
    std::copy(report.begin(), report.end(), event.u.output.data);
    event.u.output.size = static_cast<uint16_t>(report.size());
    event.u.output.rtype = UHID_OUTPUT_REPORT;
    Send(event);
  }
  // Everything the remote wrote.
  std::vector<uhid_event> Received() {
    std::vector<uhid_event> events;
    uhid_event event;
    while (read(kernel_fd_, &event, sizeof event) ==
           static_cast<ssize_t>(sizeof event)) {
      events.push_back(event);
    }
    return events;
  }
  int remote_fd = -1;

 private:
  int kernel_fd_ = -1;
};

TEST(VirtualRemoteTest, OnTheBluetoothBusWhenAsked) {
  FakeKernel kernel;
  RemoteModel model;
  UhidRemote remote(kernel.remote_fd, model);
  ASSERT_EQ(remote.Create("test remote", /*bluetooth=*/true), "");
  auto events = kernel.Received();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].u.create2.bus, BUS_BLUETOOTH);  // hid-wiimote's bus
}

TEST(VirtualRemoteTest, SpeaksUhidAsTheKernelExpects) {
  FakeKernel kernel;
  RemoteModel model;
  UhidRemote remote(kernel.remote_fd, model);
  std::vector<std::vector<uint8_t>> outputs;
  remote.on_output = [&](std::span<const uint8_t> r) {
    outputs.emplace_back(r.begin(), r.end());
  };

  ASSERT_EQ(remote.Create("test remote"), "");
  auto events = kernel.Received();
  ASSERT_EQ(events.size(), 1u);
  const uhid_create2_req& create = events[0].u.create2;
  EXPECT_EQ(events[0].type, UHID_CREATE2);
  EXPECT_EQ(create.bus, BUS_USB);  // not Bluetooth: hid-wiimote stays off
  EXPECT_EQ(create.vendor, 0x057Eu);
  EXPECT_EQ(create.product, 0x0306u);
  EXPECT_EQ(
      std::vector<uint8_t>(create.rd_data, create.rd_data + create.rd_size),
      RemoteReportDescriptor());

  // Nobody has the device open yet: the answer goes nowhere.
  const auto start = Clock::now();
  kernel.SendType(UHID_START);
  kernel.SendOutput({0x17, 0x04, 0xA4, 0x00, 0xFE, 0x00, 0x02});
  ASSERT_EQ(remote.HandleKernelEvents(start), "");
  ASSERT_EQ(remote.DeliverDue(start + std::chrono::milliseconds(50)), "");
  EXPECT_TRUE(kernel.Received().empty());

  // Opened; a burst of outputs is taken whole in one call, and a feature
  // report request is refused at once rather than left to time out.
  kernel.SendType(UHID_OPEN);
  for (int i = 0; i < 41; ++i) kernel.SendOutput({0x11, 0x10});
  uhid_event get{};
  get.type = UHID_GET_REPORT;
  get.u.get_report.id = 77;
  get.u.get_report.rnum = 0x20;
  kernel.Send(get);
  kernel.SendOutput({0x17, 0x04, 0xA4, 0x00, 0xFE, 0x00, 0x02});
  const auto later = start + std::chrono::milliseconds(100);
  ASSERT_EQ(remote.HandleKernelEvents(later), "");
  EXPECT_EQ(outputs.size(), 43u);  // the first read request too
  EXPECT_TRUE(remote.opened());
  EXPECT_EQ(model.leds(), 0x10);
  ASSERT_EQ(remote.DeliverDue(later), "");

  events = kernel.Received();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].type, UHID_GET_REPORT_REPLY);
  EXPECT_EQ(events[0].u.get_report_reply.id, 77u);
  EXPECT_EQ(events[0].u.get_report_reply.err, EIO);
  // The read request's answer: no such device on the bus (error 7).
  EXPECT_EQ(events[1].type, UHID_INPUT2);
  ASSERT_EQ(events[1].u.input2.size, RemoteInputReportLength(kReadReplyReport));
  EXPECT_EQ(events[1].u.input2.data[0], 0x21);
  EXPECT_EQ(events[1].u.input2.data[3] & 0x0F, 7);

  remote.Destroy();
  events = kernel.Received();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, UHID_DESTROY);
}

TEST(VirtualRemoteTest, KeysOfTheComputerPressTheKeypad) {
  using Kind = KeyAction::Kind;
  std::set<char> used;
  for (int position = 1; position <= 24; ++position) {
    const char key = ComputerKeyForPosition(position);
    SCOPED_TRACE(std::string("position ") + std::to_string(position) +
                 " key '" + key + "'");
    EXPECT_TRUE(used.insert(key).second) << "two positions on one key";
    KeyParser parser;
    const auto actions = parser.Feed(&key, 1);
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].kind, Kind::kTap);
    EXPECT_EQ(actions[0].position, position);
  }

  KeyParser parser;
  const int enter = zolmek_emulator::KeyPositionOfCharacter('E');
  const int del = zolmek_emulator::KeyPositionOfCharacter('N');
  struct Case {
    std::string bytes;
    std::vector<std::pair<Kind, int>> actions;
  } cases[] = {
      {"\r", {{Kind::kTap, enter}}},
      {"e", {{Kind::kTap, enter}}},
      {"\x1b[3", {}},  // Delete, cut by a read...
      {"~", {{Kind::kTap, del}}},
      {"\x1b[A\x1bOP\x1b[15~", {}},  // arrows and function keys: nothing
      {"\tq\x03hr",
       {{Kind::kHoldNext, 0},
        {Kind::kQuit, 0},
        {Kind::kQuit, 0},
        {Kind::kHome, 0},
        {Kind::kReconnect, 0}}},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<Kind, int>> got;
    for (const KeyAction& a : parser.Feed(c.bytes.data(), c.bytes.size())) {
      got.emplace_back(a.kind, a.position);
    }
    EXPECT_EQ(got, c.actions) << "after " << testing::PrintToString(c.bytes);
  }
}

}  // namespace
}  // namespace zolmek_remote
