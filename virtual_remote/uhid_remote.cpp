#include "virtual_remote/uhid_remote.h"

#include <linux/input.h>  // BUS_USB, BUS_BLUETOOTH
#include <linux/uhid.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "virtual_remote/report_descriptor.h"

namespace zolmek_remote {
namespace {

// The bytes of a report, id first, of its own length (the model takes at
// least the length it knows for the id; anything shorter is refused there).
std::span<const uint8_t> OutputBytes(const uhid_output_req& output) {
  return {output.data, std::min<size_t>(output.size, UHID_DATA_MAX)};
}

}  // namespace

std::string UhidRemote::Write(const void* event, const char* what) {
  for (;;) {
    const ssize_t written = write(fd_, event, sizeof(uhid_event));
    if (written == static_cast<ssize_t>(sizeof(uhid_event))) return "";
    if (written < 0 && errno == EINTR) continue;
    return std::string(what) + ": " +
           (written < 0 ? std::strerror(errno) : "short write");
  }
}

std::string UhidRemote::Create(const std::string& name, bool bluetooth) {
  static uhid_event event;  // 4 KiB and more: not on the stack
  std::memset(&event, 0, sizeof event);
  event.type = UHID_CREATE2;
  uhid_create2_req& create = event.u.create2;
  std::strncpy(reinterpret_cast<char*>(create.name), name.c_str(),
               sizeof create.name - 1);
  std::strncpy(reinterpret_cast<char*>(create.phys), "zolmek-remote",
               sizeof create.phys - 1);
  const std::vector<uint8_t> descriptor = RemoteReportDescriptor();
  std::copy(descriptor.begin(), descriptor.end(), create.rd_data);
  create.rd_size = static_cast<uint16_t>(descriptor.size());
  // On the Bluetooth bus the kernel's own driver for this remote (hid-wiimote)
  // claims the device and talks to it, as it does to a paired remote; on USB
  // hid-generic takes it and the remote is reached through hidraw alone, as
  // zolmek wants it.
  create.bus = bluetooth ? BUS_BLUETOOTH : BUS_USB;
  create.vendor = kRemoteVendorId;
  create.product =
      model_.scenario().plus ? kRemotePlusProductId : kRemoteProductId;
  std::string error = Write(&event, "creating the device");
  created_ = error.empty();
  return error;
}

std::string UhidRemote::HandleKernelEvents(TimePoint now) {
  static uhid_event event;
  static uhid_event answer;
  for (;;) {
    const ssize_t got = read(fd_, &event, sizeof event);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return "";
    if (got < 0) return std::string("reading events: ") + std::strerror(errno);
    if (got == 0) return "reading events: end of file";
    if (static_cast<size_t>(got) < sizeof event.type) continue;

    switch (event.type) {
      case UHID_OPEN:
        opened_ = true;
        break;
      case UHID_CLOSE:
        opened_ = false;
        break;
      case UHID_OUTPUT: {
        const auto bytes = OutputBytes(event.u.output);
        if (on_output) on_output(bytes);
        model_.HandleOutputReport(bytes, now);
        break;
      }
      case UHID_GET_REPORT: {
        // The remote has no feature reports. Answer at once: the kernel
        // otherwise holds the asking process for seconds.
        std::memset(&answer, 0, sizeof answer);
        answer.type = UHID_GET_REPORT_REPLY;
        answer.u.get_report_reply.id = event.u.get_report.id;
        answer.u.get_report_reply.err = EIO;
        if (auto error = Write(&answer, "answering a report request");
            !error.empty()) {
          return error;
        }
        break;
      }
      case UHID_SET_REPORT: {
        std::memset(&answer, 0, sizeof answer);
        answer.type = UHID_SET_REPORT_REPLY;
        answer.u.set_report_reply.id = event.u.set_report.id;
        answer.u.set_report_reply.err = EIO;
        if (auto error = Write(&answer, "answering a report request");
            !error.empty()) {
          return error;
        }
        break;
      }
      default:  // UHID_START, UHID_STOP and the like: nothing to do
        break;
    }
  }
}

std::string UhidRemote::DeliverDue(TimePoint now) {
  static uhid_event event;
  while (auto report = model_.PopDue(now)) {
    if (!opened_) continue;
    std::memset(&event, 0, sizeof event.type + sizeof event.u.input2);
    event.type = UHID_INPUT2;
    const size_t size = std::min<size_t>(report->bytes.size(), UHID_DATA_MAX);
    event.u.input2.size = static_cast<uint16_t>(size);
    std::copy_n(report->bytes.begin(), size, event.u.input2.data);
    if (auto error = Write(&event, "sending an input report"); !error.empty()) {
      return error;
    }
  }
  return "";
}

void UhidRemote::Destroy() {
  if (!created_) return;
  static uhid_event event;
  std::memset(&event, 0, sizeof event);
  event.type = UHID_DESTROY;
  Write(&event, "destroying the device");
  created_ = false;
  opened_ = false;
}

}  // namespace zolmek_remote
