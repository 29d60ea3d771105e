// Keystrokes through a virtual keyboard on /dev/uinput (libevdev). The
// desktop sees it as one more keyboard, so the keys reach the focused window
// under Wayland, X11 and the text console alike.
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/host_output.h"
#include "host/key_map.h"

static libevdev_uinput* keyboard = nullptr;

// The evdev key for a virtual-key code zolmek sends; 0 for none.
static unsigned int EvdevKeyForVirtualKey(uint16_t code) {
  for (const KeyMapping& key : kKeyMap) {
    if (key.virtual_key == code) return key.evdev_key;
  }
  return 0;
}

void OpenKeystrokeDevice() {
  libevdev* device = libevdev_new();
  if (device == nullptr) {
    std::fprintf(stderr, "keystrokes disabled: out of memory\n");
    return;
  }
  libevdev_set_name(device, "zolmek keypad");
  libevdev_set_id_bustype(device, BUS_VIRTUAL);
  libevdev_enable_event_type(device, EV_KEY);
  // udev classes a device as a keyboard only when it has the first row of
  // ordinary keys (codes 1-31), so enable those besides the ones we send.
  for (unsigned int key = 1; key <= 31; ++key) {
    libevdev_enable_event_code(device, EV_KEY, key, nullptr);
  }
  for (const KeyMapping& key : kKeyMap) {
    libevdev_enable_event_code(device, EV_KEY, key.evdev_key, nullptr);
  }
  const int rc = libevdev_uinput_create_from_device(
      device, LIBEVDEV_UINPUT_OPEN_MANAGED, &keyboard);
  libevdev_free(device);  // the uinput device keeps what it needs
  if (rc != 0) {
    keyboard = nullptr;
    std::fprintf(stderr,
                 "keystrokes disabled: cannot create a keyboard on "
                 "/dev/uinput: %s\n",
                 std::strerror(-rc));
  }
}

void CloseKeystrokeDevice() {
  if (keyboard != nullptr) libevdev_uinput_destroy(keyboard);
  keyboard = nullptr;
}

void SendVirtualKey(uint16_t code) {
  const unsigned int key = EvdevKeyForVirtualKey(code);
  if (keyboard == nullptr || key == 0) return;
  libevdev_uinput_write_event(keyboard, EV_KEY, key, 1);
  libevdev_uinput_write_event(keyboard, EV_SYN, SYN_REPORT, 0);
  libevdev_uinput_write_event(keyboard, EV_KEY, key, 0);
  libevdev_uinput_write_event(keyboard, EV_SYN, SYN_REPORT, 0);
}
