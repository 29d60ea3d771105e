// Inside the test VM: the virtual remote (zolmek-remote on /dev/uhid), the
// unchanged zolmek run as an unprivileged user on a pseudo-terminal, and a
// reader of the keyboard that zolmek creates on /dev/uinput.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/expected_output.h"
#include "tests/pty_process.h"

namespace vm {

// The user zolmek runs as, and the group that the udev rules would give the
// remote's hidraw node and /dev/uinput.
inline constexpr uid_t kUserId = 1000;
inline constexpr gid_t kUserGroup = 1000;
inline constexpr gid_t kZolmekGroup = 990;

using Seconds = std::chrono::seconds;

// What `sysfs_dir/device` of a hidraw node links to ends in the HID device's
// name, bus:vendor:product.instance ("0003:057E:0306.0001").
std::string HidrawDeviceName(const std::string& hidraw);

// The hidraw nodes (hidraw0, ...) whose HID device name starts with
// `prefix`, as a udev rule's KERNELS=="0003:057E:0306.*" matches them.
std::vector<std::string> HidrawNodesOf(const std::string& prefix);
// zolmek-remote's device: on the USB bus, with the remote's ids.
extern const std::string kRemoteHidPrefix;

// Gives a node to root and the zolmek group, mode 0660: what the group
// variant of the packaged udev rules does for the remote and /dev/uinput.
void GrantToZolmekGroup(const std::string& path);

// Whether systemd-udevd runs (the system tier): then udev's rules, not the
// harness, give the nodes their group.
bool UdevRuns();

// The standard output of a shell command.
std::string Command(const std::string& command);

// The events of keys typed one after another, as "type code value" lines:
// each a press, a SYN_REPORT, a release, a SYN_REPORT.
std::vector<std::string> Typed(std::initializer_list<unsigned> keys);

// Each report (a hex line of zolmek-remote's log) reached the remote whole,
// at the length its id has.
void ExpectDeclaredLengths(const std::vector<std::string>& reports);

// A whole run's reports: the probe, the keypad phase's start, and the quiet
// end (LED 1, the expander's pins released, buttons only); each at its
// declared length.
void ExpectStartAndQuietEnd(const std::vector<std::string>& reports);

// zolmek-remote with a scenario, from the moment its hidraw node is there
// (with the group permission) until it is stopped. On a terminal it takes
// keys (Type); otherwise its input is /dev/null. `options` go to its
// command line (--bluetooth).
class VirtualRemote {
 public:
  explicit VirtualRemote(const std::string& scenario, bool on_terminal = false,
                         const std::vector<std::string>& options = {});
  ~VirtualRemote();

  void Type(const std::string& bytes);
  // On a terminal, with --reconnect: pulls the remote (key r), waits for
  // its node to go and for the new device's node, ready as the first was.
  void PullAndPlugBack();
  // Waits for it to end by itself; the exit status, -1 when it did not.
  int Wait(Seconds deadline = Seconds(20));

  // SIGTERM, as a user's Ctrl+C; returns the exit status (-1: killed, or
  // not a normal exit). Afterwards the hidraw node must be gone.
  int Stop();

  std::string hidraw() const { return hidraw_; }
  std::vector<std::string> Reports() const { return ReadLines(dir_ + "/log"); }
  std::string Errors() const { return ReadFile(dir_ + "/stderr"); }

 private:
  void AwaitNode(int made, const std::string& prefix);

  std::string dir_;
  std::string hidraw_;
  pid_t pid_ = -1;
  int master_ = -1;
  int status_ = -2;
};

// The events read from the "zolmek keypad" keyboard's /dev/input/eventN
// node, as "type code value" lines. It watches /dev/input from the moment
// it is made (before zolmek starts), opens each new event node, keeps the
// one whose device has that name, and reads until the device goes away.
class KeyboardReader {
 public:
  KeyboardReader();
  ~KeyboardReader();
  // Waits for the device to go (or `deadline`), then gives what was read.
  std::vector<std::string> Finish(Seconds deadline = Seconds(20));
  bool found() const { return found_; }
  // The node, once found ("/dev/input/event5").
  std::string node() const;
  // The kernel's CLOCK_MONOTONIC time stamps of the key presses, seconds.
  std::vector<double> PressTimes() const;

 private:
  void Run();
  int watch_ = -1;  // inotify on /dev/input
  std::atomic<bool> stop_{false};
  std::atomic<bool> found_{false};
  std::atomic<bool> done_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
  std::vector<double> press_times_;
  std::string node_;
  // Last: the thread starts once everything it uses is initialised.
  std::thread thread_;
};

// The times at which /dev/hidraw* nodes were made, from the moment it is
// made, on CLOCK_MONOTONIC in seconds (the keyboard's time stamps' clock).
// A node's time is its modification time, which devtmpfs sets as it makes
// the node (the owner and mode it and udev set later change only its change
// time), so it does not depend on when this watcher gets the CPU.
class HidrawArrivals {
 public:
  HidrawArrivals();
  ~HidrawArrivals();
  std::vector<double> Times() const;

 private:
  void Run();
  int watch_ = -1;  // inotify on /dev
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<double> times_;
  std::thread thread_;  // last, as in KeyboardReader
};

// /usr/bin/zolmek in a fresh working directory, on a pseudo-terminal, as the
// unprivileged user with `groups` besides its own (the zolmek group unless
// told otherwise), and `environment` besides PATH, HOME and TERM. With
// `key_sound`, test1.wav is in its working directory; `args` go to its
// command line.
class Zolmek : public PtyProcess {
 public:
  // Generous deadlines: the guest's CPU is emulated.
  explicit Zolmek(const std::vector<gid_t>& groups = {kZolmekGroup},
                  const std::vector<std::string>& environment = {},
                  const std::string& key_sound = "",
                  const std::vector<std::string>& args = {});

 private:
  std::string dir_;
};

}  // namespace vm
