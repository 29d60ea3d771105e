// Keystrokes through a virtual keyboard on /dev/uinput (libevdev). The
// desktop sees it as one more keyboard, so the keys reach the focused window
// under Wayland, X11 and the text console alike.
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "host/host_output.h"

static libevdev_uinput* keyboard = nullptr;

// The evdev key for each virtual-key code zolmek sends; 0 for none.
static unsigned int EvdevKeyForVirtualKey(uint16_t code) {
  if (code >= '1' && code <= '9') return KEY_1 + (code - '1');
  switch (code) {
    case '0':
      return KEY_0;
    case 0x6E:
      return KEY_KPDOT;
    case 0x6B:
      return KEY_KPPLUS;
    case 0x6D:
      return KEY_KPMINUS;
    case 0x6A:
      return KEY_KPASTERISK;
    case 0x6F:
      return KEY_KPSLASH;
    case 0x0D:
      return KEY_ENTER;
    case 0x2E:
      return KEY_DELETE;
    default:
      return 0;
  }
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
  for (char c : {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '.', '+',
                 '-', '*', '/', 'E', 'N'}) {
    libevdev_enable_event_code(
        device, EV_KEY, EvdevKeyForVirtualKey(VirtualKeyForChar(c)), nullptr);
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
