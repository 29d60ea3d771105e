// The emulated remote as a kernel HID device: the uhid protocol on one side,
// the emulator's RemoteModel on the other.
//
// uhid queues the events it has for us (output reports, opens, closes) in a
// small ring and silently drops what does not fit, so the owner must call
// HandleKernelEvents whenever the descriptor is readable and not only when
// it expects something.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "emulator/remote_model.h"

namespace zolmek_remote {

using zolmek_emulator::RemoteModel;
using zolmek_emulator::TimePoint;

class UhidRemote {
 public:
  // `fd` is /dev/uhid opened non-blocking (or a stand-in that speaks the
  // same protocol); it stays the caller's to close.
  UhidRemote(int fd, RemoteModel& model) : fd_(fd), model_(model) {}

  // Called with every output report the kernel passes on, as received.
  std::function<void(std::span<const uint8_t>)> on_output;

  // Creates the device: a Wii Remote (057E:0306), or a Plus (057E:0330)
  // when the scenario says so, on the USB bus, or on the Bluetooth bus,
  // where the kernel's hid-wiimote driver takes it when loaded. Empty on
  // success, else what failed.
  std::string Create(const std::string& name, bool bluetooth = false);

  // Reads and answers every event that is waiting. Empty on success, else
  // what failed (the descriptor is closed or broken).
  std::string HandleKernelEvents(TimePoint now);

  // Sends the input reports due by `now`. While nobody has the device open
  // the kernel would drop them, and so does this.
  std::string DeliverDue(TimePoint now);

  // Removes the device from the kernel; the hidraw node goes with it.
  // Create may make it again afterwards, as a new device.
  void Destroy();

  bool created() const { return created_; }
  bool opened() const { return opened_; }

 private:
  std::string Write(const void* event, const char* what);

  int fd_;
  RemoteModel& model_;
  bool created_ = false;
  bool opened_ = false;
};

}  // namespace zolmek_remote
