#include "tests/vm/guest_harness.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "protocol/wii_remote.h"

namespace vm {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char kRemoteBinary[] = "/usr/bin/zolmek-remote";
const char kZolmekBinary[] = "/usr/bin/zolmek";
const char kKeyboardName[] = "zolmek keypad";

std::string MakeDir(const char* what) {
  std::string pattern = std::string("/tmp/") + what + "-XXXXXX";
  return mkdtemp(pattern.data());
}

// Waits for a child with a deadline; -1 when it had to be killed or did not
// exit normally.
int WaitForChild(pid_t pid, Seconds deadline) {
  const auto end = Clock::now() + deadline;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    usleep(5000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

const std::string kRemoteHidPrefix = [] {
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "0003:%04X:%04X.", kRemoteVendorId,
                kRemoteProductId);
  return std::string(prefix);
}();

std::string HidrawDeviceName(const std::string& hidraw) {
  std::error_code error;
  const fs::path target =
      fs::read_symlink("/sys/class/hidraw/" + hidraw + "/device", error);
  return error ? "" : target.filename().string();
}

std::vector<std::string> HidrawNodesOf(const std::string& prefix) {
  std::vector<std::string> nodes;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/sys/class/hidraw", error)) {
    const std::string name = entry.path().filename().string();
    if (HidrawDeviceName(name).rfind(prefix, 0) == 0) nodes.push_back(name);
  }
  return nodes;
}

bool UdevRuns() { return access("/run/udev/control", F_OK) == 0; }

std::string Command(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    output.append(buffer, got);
  }
  pclose(pipe);
  return output;
}

std::vector<std::string> Typed(std::initializer_list<unsigned> keys) {
  std::vector<std::string> events;
  for (unsigned key : keys) {
    for (int value : {1, 0}) {
      events.push_back("1 " + std::to_string(key) + " " +
                       std::to_string(value));
      events.push_back("0 0 0");  // SYN_REPORT
    }
  }
  return events;
}

void ExpectDeclaredLengths(const std::vector<std::string>& reports) {
  for (const std::string& report : reports) {
    const size_t length = RemoteOutputReportLength(
        static_cast<uint8_t>(std::stoul(report.substr(0, 2), nullptr, 16)));
    ASSERT_NE(length, 0u) << report;
    EXPECT_EQ((report.size() + 1) / 3, length) << report;
  }
}

void ExpectStartAndQuietEnd(const std::vector<std::string>& reports) {
  std::string received;
  for (const std::string& report : reports) received += "\n  " + report;
  ASSERT_GE(reports.size(), 6u) << "the remote received:" << received;
  EXPECT_EQ(reports[0], "12 00 31");
  EXPECT_EQ(reports[1], "12 00 30");
  EXPECT_EQ(reports[2], "11 F0");
  EXPECT_EQ(reports[reports.size() - 3], "11 10");
  EXPECT_EQ(reports[reports.size() - 2], RegisterWrite("06 01 FF FF"));
  EXPECT_EQ(reports.back(), "12 00 30");
  ExpectDeclaredLengths(reports);
}

void GrantToZolmekGroup(const std::string& path) {
  ASSERT_EQ(chown(path.c_str(), 0, kZolmekGroup), 0)
      << path << ": " << std::strerror(errno);
  ASSERT_EQ(chmod(path.c_str(), 0660), 0)
      << path << ": " << std::strerror(errno);
}

// --- VirtualRemote ------------------------------------------------------

// The names in the next batch of events of an inotify descriptor, waiting
// at most `timeout_ms` for it; none when nothing came.
static std::vector<std::string> InotifyNames(int watch, int timeout_ms) {
  std::vector<std::string> names;
  pollfd ready = {watch, POLLIN, 0};
  if (poll(&ready, 1, timeout_ms) <= 0) return names;
  alignas(inotify_event) char buffer[4096];
  const ssize_t got = read(watch, buffer, sizeof buffer);
  for (ssize_t at = 0; got > 0 && at < got;) {
    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    if (event->len > 0) names.push_back(event->name);
  }
  return names;
}

VirtualRemote::VirtualRemote(const std::string& scenario, bool on_terminal,
                             const std::vector<std::string>& options)
    : dir_(MakeDir("remote")) {
  // devtmpfs makes a node and then sets its owner and mode (an IN_ATTRIB):
  // a chmod in between would be undone. Watched from before the device is
  // made, so that moment cannot be missed.
  const int made = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  EXPECT_GE(inotify_add_watch(made, "/dev", IN_ATTRIB), 0)
      << std::strerror(errno);
  std::string prefix = kRemoteHidPrefix;
  for (const std::string& option : options) {
    if (option == "--bluetooth") prefix.replace(0, 4, "0005");
  }
  EXPECT_TRUE(HidrawNodesOf(prefix).empty())
      << "a remote from an earlier test is still there";
  std::ofstream(dir_ + "/scenario") << scenario << "\n";
  const std::string scenario_path = dir_ + "/scenario";
  const std::string log_path = dir_ + "/log";
  const std::string errors = dir_ + "/stderr";
  pid_ = on_terminal ? forkpty(&master_, nullptr, nullptr, nullptr) : fork();
  if (pid_ == 0) {
    if (!on_terminal) {
      const int null = open("/dev/null", O_RDONLY);
      dup2(null, STDIN_FILENO);
    }
    const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, STDERR_FILENO);
    std::vector<const char*> argv = {kRemoteBinary, "--scenario",
                                     scenario_path.c_str(), "--log",
                                     log_path.c_str()};
    for (const std::string& option : options) argv.push_back(option.c_str());
    argv.push_back(nullptr);
    execv(kRemoteBinary, const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  AwaitNode(made, prefix);
}

// Waits for the device's node and makes it the zolmek group's, as udev's
// rules would; `made` watches /dev since before the device was made.
void VirtualRemote::AwaitNode(int made, const std::string& prefix) {
  // The node appears once hid-generic has bound the new device.
  const auto end = Clock::now() + Seconds(20);
  std::vector<std::string> nodes;
  while ((nodes = HidrawNodesOf(prefix)).empty() && Clock::now() < end) {
    usleep(2000);
  }
  if (nodes.size() != 1) {
    ADD_FAILURE() << "expected one hidraw node for the remote, found "
                  << nodes.size() << "; zolmek-remote said: " << Errors();
    close(made);
    return;
  }
  hidraw_ = nodes[0];
  const std::string node = "/dev/" + hidraw_;
  if (UdevRuns()) {
    close(made);
    // udevd has made the node and applied the rules (and a kernel driver
    // has bound the device) once its queue is empty.
    Command("udevadm settle");
    return;
  }
  bool finished = false;
  while (!finished && Clock::now() < end) {
    for (const std::string& name : InotifyNames(made, 100)) {
      finished = finished || name == hidraw_;
    }
  }
  close(made);
  EXPECT_TRUE(finished) << "devtmpfs did not finish " << node;
  GrantToZolmekGroup(node);
}

void VirtualRemote::PullAndPlugBack() {
  const int made = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  EXPECT_GE(inotify_add_watch(made, "/dev", IN_ATTRIB), 0)
      << std::strerror(errno);
  Type("r");
  const auto end = Clock::now() + Seconds(20);
  while (!HidrawNodesOf(kRemoteHidPrefix).empty() && Clock::now() < end) {
    usleep(2000);
  }
  // What the old node's going said; the new one comes 300 ms later.
  while (!InotifyNames(made, 0).empty()) {
  }
  AwaitNode(made, kRemoteHidPrefix);
}

VirtualRemote::~VirtualRemote() {
  if (status_ == -2) Stop();
  if (master_ >= 0) close(master_);
}

void VirtualRemote::Type(const std::string& bytes) {
  ASSERT_GE(master_, 0) << "not on a terminal";
  EXPECT_EQ(write(master_, bytes.data(), bytes.size()),
            static_cast<ssize_t>(bytes.size()));
}

int VirtualRemote::Wait(Seconds deadline) {
  if (status_ != -2) return status_;
  status_ = WaitForChild(pid_, deadline);
  return status_;
}

int VirtualRemote::Stop() {
  if (status_ != -2) return status_;
  kill(pid_, SIGTERM);
  return Wait();
}

// --- KeyboardReader -----------------------------------------------------

KeyboardReader::KeyboardReader()
    : watch_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
  // Watching before zolmek runs: no node it makes can be missed. devtmpfs
  // makes a node and then sets its mode, so both events are taken.
  EXPECT_GE(watch_, 0) << std::strerror(errno);
  EXPECT_GE(inotify_add_watch(watch_, "/dev/input", IN_CREATE | IN_ATTRIB), 0)
      << std::strerror(errno);
  thread_ = std::thread([this] { Run(); });
}

KeyboardReader::~KeyboardReader() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (watch_ >= 0) close(watch_);
}

// The event node of a device named kKeyboardName, open, or -1.
static int OpenIfKeyboard(const std::string& node) {
  const int fd = open(node.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  // Time stamps on the clock the sound's capture uses.
  int clock = CLOCK_MONOTONIC;
  ioctl(fd, EVIOCSCLOCKID, &clock);
  char name[64] = "";
  if (ioctl(fd, EVIOCGNAME(sizeof name - 1), name) < 0 ||
      std::strcmp(name, kKeyboardName) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void KeyboardReader::Run() {
  int fd = -1;
  while (fd < 0 && !stop_) {
    for (const std::string& name : InotifyNames(watch_, 50)) {  // sees stop_
      if (fd >= 0 || name.rfind("event", 0) != 0) continue;
      const std::string node = "/dev/input/" + name;
      fd = OpenIfKeyboard(node);
      if (fd >= 0) {
        std::lock_guard lock(mutex_);
        node_ = node;
      }
    }
  }
  if (fd >= 0) {
    found_ = true;
    input_event event;
    for (;;) {
      const ssize_t got = read(fd, &event, sizeof event);
      if (got != static_cast<ssize_t>(sizeof event)) break;  // ENODEV: gone
      std::lock_guard lock(mutex_);
      if (event.type == EV_KEY && event.value == 1) {
        press_times_.push_back(static_cast<double>(event.input_event_sec) +
                               event.input_event_usec * 1e-6);
      }
      events_.push_back(std::to_string(event.type) + " " +
                        std::to_string(event.code) + " " +
                        std::to_string(event.value));
    }
    close(fd);
  }
  done_ = true;
}

std::vector<std::string> KeyboardReader::Finish(Seconds deadline) {
  const auto end = Clock::now() + deadline;
  // A keyboard that was never found will not be: zolmek has ended.
  if (!found_) stop_ = true;
  while (!done_ && Clock::now() < end) usleep(5000);
  EXPECT_TRUE(done_) << "the keyboard is still there after zolmek ended";
  if (done_ && thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return events_;
}

std::string KeyboardReader::node() const {
  std::lock_guard lock(mutex_);
  return node_;
}

std::vector<double> KeyboardReader::PressTimes() const {
  std::lock_guard lock(mutex_);
  return press_times_;
}

// --- HidrawArrivals ------------------------------------------------------

HidrawArrivals::HidrawArrivals()
    : watch_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
  EXPECT_GE(inotify_add_watch(watch_, "/dev", IN_CREATE), 0)
      << std::strerror(errno);
  thread_ = std::thread([this] { Run(); });
}

HidrawArrivals::~HidrawArrivals() {
  stop_ = true;
  thread_.join();
  close(watch_);
}

void HidrawArrivals::Run() {
  while (!stop_) {
    for (const std::string& name : InotifyNames(watch_, 50)) {
      struct stat node;
      if (name.rfind("hidraw", 0) != 0 ||
          stat(("/dev/" + name).c_str(), &node) != 0) {
        continue;
      }
      // From CLOCK_REALTIME, the file system's clock, to CLOCK_MONOTONIC.
      timespec real;
      timespec monotonic;
      clock_gettime(CLOCK_REALTIME, &real);
      clock_gettime(CLOCK_MONOTONIC, &monotonic);
      const auto seconds = [](const timespec& t) {
        return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
      };
      std::lock_guard lock(mutex_);
      times_.push_back(seconds(monotonic) - seconds(real) +
                       seconds(node.st_mtim));
    }
  }
}

std::vector<double> HidrawArrivals::Times() const {
  std::lock_guard lock(mutex_);
  return times_;
}

// --- Zolmek -------------------------------------------------------------

Zolmek::Zolmek(const std::vector<gid_t>& groups,
               const std::vector<std::string>& environment,
               const std::string& key_sound,
               const std::vector<std::string>& args)
    : PtyProcess(Seconds(60), Seconds(120)), dir_(MakeDir("zolmek")) {
  EXPECT_EQ(chown(dir_.c_str(), kUserId, kUserGroup), 0);
  if (!key_sound.empty()) fs::copy_file(key_sound, dir_ + "/test1.wav");
  std::vector<gid_t> all_groups = {kUserGroup};
  all_groups.insert(all_groups.end(), groups.begin(), groups.end());
  std::vector<const char*> envp = {"PATH=/usr/bin:/bin", "HOME=/tmp",
                                   "TERM=vt100"};
  for (const std::string& variable : environment) {
    envp.push_back(variable.c_str());
  }
  envp.push_back(nullptr);
  // Made before the fork: the child of a process with threads (a keyboard
  // reader) must not allocate.
  std::vector<const char*> argv = {kZolmekBinary};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  Start(dir_ + "/stderr", [&] {
    if (setgroups(all_groups.size(), all_groups.data()) != 0 ||
        setgid(kUserGroup) != 0 || setuid(kUserId) != 0 ||
        chdir(dir_.c_str()) != 0) {
      _exit(126);
    }
    execve(kZolmekBinary, const_cast<char* const*>(argv.data()),
           const_cast<char* const*>(envp.data()));
  });
}

}  // namespace vm
