// Keystrokes through a virtual keyboard on /dev/uinput (libevdev). The
// desktop sees it as one more keyboard, so the keys reach the focused window
// under Wayland, X11 and the text console alike.
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/host_output.h"
#include "host/key_names.h"

static libevdev_uinput* keyboard = nullptr;

const char* OpenKeystrokeDevice() {
  static char reason[160];
  libevdev* device = libevdev_new();
  if (device == nullptr) return "keystrokes disabled: out of memory";
  libevdev_set_name(device, "zolmek keypad");
  libevdev_set_id_bustype(device, BUS_VIRTUAL);
  libevdev_enable_event_type(device, EV_KEY);
  // udev classes a device as a keyboard only when it has the first row of
  // ordinary keys (codes 1-31), so those stay enabled whatever the names
  // hold. Every key a map can name is declared now: a map read later (or
  // read again) then needs no new device, which the desktop would see as a
  // keyboard unplugged and another plugged in.
  for (unsigned int key = 1; key <= 31; ++key) {
    libevdev_enable_event_code(device, EV_KEY, key, nullptr);
  }
  for (const KeyName& key : kKeyNames) {
    libevdev_enable_event_code(device, EV_KEY, key.evdev_key, nullptr);
  }
  const int rc = libevdev_uinput_create_from_device(
      device, LIBEVDEV_UINPUT_OPEN_MANAGED, &keyboard);
  libevdev_free(device);  // the uinput device keeps what it needs
  if (rc == 0) return nullptr;
  keyboard = nullptr;
  std::snprintf(reason, sizeof reason,
                "keystrokes disabled: cannot create a keyboard on "
                "/dev/uinput: %s",
                std::strerror(-rc));
  return reason;
}

void CloseKeystrokeDevice() {
  if (keyboard != nullptr) libevdev_uinput_destroy(keyboard);
  keyboard = nullptr;
}

// Each event is followed by its own SYN_REPORT, so a reader sees every
// change of a key, in order, as a report of its own.
static void WriteKeyEvent(unsigned int key, int value) {
  libevdev_uinput_write_event(keyboard, EV_KEY, key, value);
  libevdev_uinput_write_event(keyboard, EV_SYN, SYN_REPORT, 0);
}

void SendBuiltInKey(const KeyName& key) {
  if (keyboard == nullptr) return;
  WriteKeyEvent(key.evdev_key, 1);
  WriteKeyEvent(key.evdev_key, 0);
}

// The device is the program's own and only the main thread writes to it, so
// the chord's reports follow each other on it with nothing between them.
void SendKeyChord(const KeyChord& chord) {
  if (keyboard == nullptr) return;
  KeyStep steps[kMaxChordSteps];
  const int count = ChordSteps(chord, steps);
  for (int i = 0; i < count; ++i) {
    WriteKeyEvent(steps[i].key->evdev_key, steps[i].down ? 1 : 0);
  }
}
