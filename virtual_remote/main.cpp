// zolmek-remote: the emulated Wii Remote, expander and keypad as a real HID
// device through /dev/uhid, so that the unchanged zolmek and its hidraw
// transport can be run without the hardware.
//
//   zolmek-remote [--scenario FILE] [--log FILE] [--plus] [--bluetooth]
//                 [--reconnect MS] [--verbose]
//
// In a terminal the computer's keys press the keypad's keys (see keys.h).
// A remote that disconnects (the scenario's `disconnect`, or the key r) is
// removed from the kernel, and made again as a new device when it comes
// back (`reconnect MS`, --reconnect). It runs until q, Ctrl+C, SIGTERM or
// SIGHUP, or until the scenario's remote disconnects for good, and removes
// the device from the kernel on every way out.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "base/terminal_mode.h"
#include "emulator/remote_model.h"
#include "emulator/scenario.h"
#include "virtual_remote/keys.h"
#include "virtual_remote/uhid_remote.h"

namespace {

using zolmek_emulator::Clock;
using zolmek_emulator::FormatReport;
using zolmek_emulator::RemoteModel;
using zolmek_emulator::TimePoint;
using zolmek_remote::KeyAction;
using zolmek_remote::UhidRemote;

const char kUsage[] =
    "usage: zolmek-remote [--scenario FILE] [--log FILE] [--plus] "
    "[--bluetooth] [--reconnect MS] [--verbose]\n"
    "  --scenario FILE  how the remote behaves (the emulator's scenario "
    "lines)\n"
    "  --log FILE       write every output report received, one hex line "
    "each\n"
    "  --plus           be a Wii Remote Plus (057E:0330), as the scenario "
    "line 'plus'\n"
    "  --bluetooth      be on the Bluetooth bus, as a paired remote is: the "
    "kernel's\n"
    "                   hid-wiimote driver, when loaded, takes the device\n"
    "  --reconnect MS   after every disconnect (the scenario's, or the key "
    "r),\n"
    "                   come back after MS milliseconds (r: 1000 without "
    "it)\n"
    "  --verbose        print every output report received\n";

// How long the key r keeps the remote away without --reconnect.
constexpr std::chrono::milliseconds kDefaultReconnect{1000};

struct Options {
  std::string scenario_path;
  std::string log_path;
  bool plus = false;
  bool bluetooth = false;
  bool verbose = false;
  std::optional<int> reconnect_ms;
};

std::optional<Options> ParseArguments(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--scenario" || arg == "--log") && i + 1 < argc) {
      (arg == "--scenario" ? options.scenario_path : options.log_path) =
          argv[++i];
    } else if (arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "--plus") {
      options.plus = true;
    } else if (arg == "--bluetooth") {
      options.bluetooth = true;
    } else if (arg == "--reconnect" && i + 1 < argc) {
      const std::string_view ms = argv[++i];
      int value = -1;
      const auto [end, error] =
          std::from_chars(ms.data(), ms.data() + ms.size(), value);
      if (error != std::errc() || end != ms.data() + ms.size() || value < 0) {
        return std::nullopt;
      }
      options.reconnect_ms = value;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

std::optional<zolmek_emulator::Scenario> LoadScenario(const std::string& path) {
  if (path.empty()) return zolmek_emulator::Scenario();
  auto loaded = zolmek_emulator::LoadScenarioFile(path);
  if (!loaded.ok()) {
    std::fprintf(stderr, "zolmek-remote: %s: %s\n", path.c_str(),
                 loaded.Message().c_str());
    return std::nullopt;
  }
  return loaded.scenario;
}

// The terminal in single-key mode for as long as it lives. Ctrl+C still
// raises SIGINT.
class RawTerminal {
 public:
  RawTerminal() {
    termios set;
    active_ = EnterSingleKeyMode(STDIN_FILENO, 1, saved_, set);
  }
  ~RawTerminal() {
    if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;
  bool active() const { return active_; }

 private:
  termios saved_{};
  bool active_ = false;
};

std::string LedText(uint8_t leds) {
  std::string text = "LEDs ";
  for (int led = 1; led <= 4; ++led) text += leds & PlayerLed(led) ? '*' : '-';
  return text;
}

// Keys that were typed and are down until their moment has come (none for a
// held key).
struct KeysDown {
  std::map<int, std::optional<TimePoint>> up_at;
  bool hold_next = false;

  void Act(const KeyAction& action, RemoteModel& model, TimePoint now) {
    switch (action.kind) {
      case KeyAction::Kind::kHoldNext:
        hold_next = true;
        break;
      case KeyAction::Kind::kHome:
        model.SetHome(true, now);
        home_up_at = now + zolmek_remote::kTapDuration;
        break;
      case KeyAction::Kind::kTap: {
        auto held = up_at.find(action.position);
        if (held != up_at.end() && !held->second) {
          up_at.erase(held);  // a held key typed again: let go
          model.SetKeyClosed(action.position, false);
        } else {
          model.SetKeyClosed(action.position, true);
          up_at[action.position] =
              hold_next ? std::nullopt
                        : std::optional(now + zolmek_remote::kTapDuration);
        }
        hold_next = false;
        break;
      }
      case KeyAction::Kind::kReconnect:  // the loop's, with the device
      case KeyAction::Kind::kQuit:
        break;
    }
  }

  void ReleaseDue(RemoteModel& model, TimePoint now) {
    for (auto it = up_at.begin(); it != up_at.end();) {
      if (it->second && *it->second <= now) {
        model.SetKeyClosed(it->first, false);
        it = up_at.erase(it);
      } else {
        ++it;
      }
    }
    if (home_up_at && *home_up_at <= now) {
      model.SetHome(false, now);
      home_up_at.reset();
    }
  }

  std::optional<TimePoint> NextRelease() const {
    std::optional<TimePoint> next = home_up_at;
    for (const auto& [position, at] : up_at) {
      if (at && (!next || *at < *next)) next = at;
    }
    return next;
  }

  std::optional<TimePoint> home_up_at;
};

timespec Until(std::optional<TimePoint> at, TimePoint now) {
  if (!at) return {3600, 0};
  const auto ns = std::max<int64_t>(
      0,
      std::chrono::duration_cast<std::chrono::nanoseconds>(*at - now).count());
  return {static_cast<time_t>(ns / 1000000000),
          static_cast<long>(ns % 1000000000)};
}

int Run(const Options& options) {
  auto scenario = LoadScenario(options.scenario_path);
  if (!scenario) return 2;
  if (options.plus) scenario->plus = true;
  if (options.reconnect_ms) {
    for (auto& disconnect : scenario->disconnects) {
      if (!disconnect.reconnect_ms)
        disconnect.reconnect_ms = options.reconnect_ms;
    }
  }
  const auto back_after = options.reconnect_ms
                              ? std::chrono::milliseconds(*options.reconnect_ms)
                              : kDefaultReconnect;
  if (scenario->no_remote) {
    std::fprintf(stderr, "zolmek-remote: the scenario has no remote\n");
    return 0;
  }
  RemoteModel model(std::move(*scenario));

  std::FILE* log = nullptr;
  if (!options.log_path.empty()) {
    log = std::fopen(options.log_path.c_str(), "w");
    if (log == nullptr) {
      std::fprintf(stderr, "zolmek-remote: %s: cannot write: %s\n",
                   options.log_path.c_str(), std::strerror(errno));
      return 2;
    }
  }

  // Signals arrive through a descriptor, so the loop below ends in order and
  // the device is always destroyed.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stop_signals, s);
  sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
  const int signals = signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signals < 0) {
    std::fprintf(stderr, "zolmek-remote: signalfd: %s\n", std::strerror(errno));
    return 1;
  }

  const int uhid = open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (uhid < 0) {
    std::fprintf(stderr,
                 "zolmek-remote: /dev/uhid: %s (it needs root, and the uhid "
                 "module: 'sudo modprobe uhid')\n",
                 std::strerror(errno));
    return 1;
  }
  UhidRemote remote(uhid, model);
  const bool interactive = isatty(STDIN_FILENO);
  uint8_t shown_leds = model.leds();
  remote.on_output = [&](std::span<const uint8_t> report) {
    const std::string line = FormatReport(report);
    if (log != nullptr) {
      std::fprintf(log, "%s\n", line.c_str());
      std::fflush(log);
    }
    if (options.verbose)
      std::fprintf(stderr, "zolmek-remote: %s\n", line.c_str());
    if (interactive && report.size() >= RemoteOutputReportLength(kLedReport) &&
        report[0] == kLedReport && report[1] != shown_leds) {
      shown_leds = report[1];
      std::fprintf(stderr, "zolmek-remote: %s\n", LedText(shown_leds).c_str());
    }
  };

  const std::string name = model.scenario().plus
                               ? "Nintendo RVL-CNT-01-TR (zolmek-remote)"
                               : "Nintendo RVL-CNT-01 (zolmek-remote)";
  std::string error = remote.Create(name, options.bluetooth);
  int status = 0;
  if (!error.empty()) {
    std::fprintf(stderr, "zolmek-remote: %s\n", error.c_str());
    close(uhid);
    return 1;
  }
  std::fprintf(stderr,
               "zolmek-remote: a Wii Remote%s (%04X:%04X) is on /dev/uhid%s\n",
               model.scenario().plus ? " Plus" : "", kRemoteVendorId,
               model.scenario().plus ? kRemotePlusProductId : kRemoteProductId,
               options.bluetooth ? ", on the Bluetooth bus" : "");

  RawTerminal terminal;
  zolmek_remote::KeyParser parser;
  KeysDown keys;
  if (interactive)
    std::fprintf(stderr, "%s", zolmek_remote::HelpText().c_str());

  bool running = true;
  bool watch_keys = interactive;
  bool pulled = false;  // by the key r, not by the scenario
  while (running) {
    TimePoint now = Clock::now();
    keys.ReleaseDue(model, now);
    error = remote.DeliverDue(now);
    if (!error.empty()) break;
    if (model.IsGone(now)) {
      // Away: the device and its hidraw node go, as a real remote's do, and
      // a new device comes when the remote is back.
      if (remote.created()) {
        remote.Destroy();
        std::string back;
        if (const auto at = model.ReturnTime()) {
          back = ", back in " +
                 std::to_string(
                     std::chrono::ceil<std::chrono::milliseconds>(*at - now)
                         .count()) +
                 " ms";
        }
        std::fprintf(stderr, "zolmek-remote: the remote disconnects (%s)%s\n",
                     pulled ? "key r" : "scenario", back.c_str());
        pulled = false;
      }
      if (!model.ReturnTime()) break;
      if (model.Reconnect(now)) {
        keys = KeysDown();
        error = remote.Create(name, options.bluetooth);
        if (!error.empty()) break;
        std::fprintf(stderr, "zolmek-remote: the remote is back\n");
      }
    }
    std::optional<TimePoint> wake =
        model.IsGone(now) ? model.ReturnTime() : model.NextEventTime();
    if (auto release = keys.NextRelease();
        release && (!wake || *release < *wake)) {
      wake = release;
    }
    pollfd fds[3] = {{uhid, POLLIN, 0},
                     {signals, POLLIN, 0},
                     {watch_keys ? STDIN_FILENO : -1, POLLIN, 0}};
    const timespec timeout = Until(wake, now);
    if (ppoll(fds, 3, &timeout, nullptr) < 0 && errno != EINTR) {
      error = std::string("poll: ") + std::strerror(errno);
      break;
    }
    now = Clock::now();
    if (fds[0].revents != 0) {
      error = remote.HandleKernelEvents(now);
      if (!error.empty()) break;
    }
    if (fds[1].revents != 0) running = false;
    if (fds[2].revents != 0) {
      char bytes[64];
      const ssize_t got = read(STDIN_FILENO, bytes, sizeof bytes);
      if (got <= 0) {
        watch_keys = false;
      } else {
        for (const KeyAction& action :
             parser.Feed(bytes, static_cast<size_t>(got))) {
          if (action.kind == KeyAction::Kind::kQuit) running = false;
          if (action.kind == KeyAction::Kind::kReconnect &&
              !model.IsGone(now)) {
            model.Disconnect(now, back_after);
            pulled = true;
          }
          keys.Act(action, model, now);
        }
      }
    }
  }
  if (!error.empty()) {
    std::fprintf(stderr, "zolmek-remote: %s\n", error.c_str());
    status = 1;
  }
  remote.Destroy();
  close(uhid);
  if (log != nullptr) std::fclose(log);
  if (model.scenario().garbage) {
    std::fprintf(stderr, "zolmek-remote: %s\n",
                 model.GarbageSummary(Clock::now()).c_str());
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseArguments(argc, argv);
  if (!options) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  return Run(*options);
}
