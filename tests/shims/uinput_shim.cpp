// Preloaded into zolmek by the binary-level tests: stands in for libevdev's
// uinput calls (these machines have no /dev/uinput) and writes every event
// the program sends to the file named by ZOLMEK_TEST_UINPUT_LOG.
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

int token;

__attribute__((format(printf, 1, 2))) void Append(const char* format, ...) {
  const char* path = std::getenv("ZOLMEK_TEST_UINPUT_LOG");
  if (path == nullptr) return;
  if (FILE* out = std::fopen(path, "a")) {
    va_list args;
    va_start(args, format);
    std::vfprintf(out, format, args);
    va_end(args);
    std::fclose(out);
  }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int libevdev_uinput_create_from_device(
    const libevdev* device, int, libevdev_uinput** uinput) {
  unsigned keys = 0;
  for (unsigned code = 0; code < KEY_MAX; ++code) {
    if (libevdev_has_event_code(device, EV_KEY, code)) ++keys;
  }
  Append("create %u keys\n", keys);
  *uinput = reinterpret_cast<libevdev_uinput*>(&token);
  return 0;
}

__attribute__((visibility("default"))) int libevdev_uinput_write_event(
    const libevdev_uinput*, unsigned int type, unsigned int code, int value) {
  Append("%u %u %d\n", type, code, value);
  return 0;
}

__attribute__((visibility("default"))) void libevdev_uinput_destroy(
    libevdev_uinput*) {
  Append("destroy\n");
}
}
