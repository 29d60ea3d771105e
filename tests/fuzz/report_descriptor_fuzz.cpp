// libFuzzer target: the report descriptor a device hands the transport. The
// real Linux transport opens a device whose hidraw node gives the fuzzer's
// bytes as its report descriptor, learns the output report lengths from it,
// and is then asked to send every report id.
//
// The device is a stand-in: hidapi's functions are defined here, and the
// transport's open() and ioctl() calls reach __wrap_open and __wrap_ioctl
// (linked with --wrap) for the stand-in's node.
//
// Besides the sanitizers' checks (the report buffers are exactly
// ZOLMEK_HID_BUFFER_SIZE bytes on the heap): what a write sends is the
// length the parsed descriptor declares for its id, or the remote's own
// lengths when the descriptor is unusable; never more than the buffer.
#include <fcntl.h>
#include <hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "protocol/wii_remote.h"
#include "transport/report_descriptor.h"
#include "transport/zolmek_hid.h"

namespace {

constexpr char kNode[] = "/dev/hidraw-fuzz";
const uint8_t* descriptor_data = nullptr;
size_t descriptor_size = 0;
int node_fd = -1;       // a real descriptor (of /dev/null) stands for it
size_t last_write = 0;  // what hid_write was last given
bool device_open = false;

[[noreturn]] void Fail(const char* what, int id) {
  std::fprintf(stderr, "invariant broken: %s (report 0x%02X)\n", what, id);
  std::abort();
}

}  // namespace

struct hid_device_ {
  int unused;
};

extern "C" {

int __real_open(const char* path, int flags, ...);
int __real_ioctl(int fd, unsigned long request, ...);

int __wrap_open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & O_CREAT) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  if (std::strcmp(path, kNode) != 0) return __real_open(path, flags, mode);
  node_fd = __real_open("/dev/null", O_RDONLY | O_CLOEXEC);
  return node_fd;
}

// The two hidraw requests as the kernel answers them.
int __wrap_ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  if (fd != node_fd || node_fd < 0) return __real_ioctl(fd, request, arg);
  if (request == HIDIOCGRDESCSIZE) {
    *static_cast<int*>(arg) = static_cast<int>(descriptor_size);
    return 0;
  }
  if (request == HIDIOCGRDESC) {
    auto* d = static_cast<hidraw_report_descriptor*>(arg);
    if (d->size > HID_MAX_DESCRIPTOR_SIZE - 1) {
      errno = EINVAL;
      return -1;
    }
    std::memcpy(d->value, descriptor_data,
                d->size < descriptor_size ? d->size : descriptor_size);
    return 0;
  }
  errno = ENOTTY;
  return -1;
}

// --- hidapi, one device ------------------------------------------------------

int hid_init(void) { return 0; }
int hid_exit(void) { return 0; }

hid_device_info* hid_enumerate(unsigned short, unsigned short) {
  static char path[sizeof kNode];
  std::memcpy(path, kNode, sizeof kNode);
  static hid_device_info info;
  info = hid_device_info();
  info.path = path;
  return &info;
}

void hid_free_enumeration(hid_device_info*) {}

hid_device* hid_open_path(const char*) {
  static hid_device device;
  device_open = true;
  return &device;
}

int hid_write(hid_device*, const unsigned char* data, size_t length) {
  if (length > ZOLMEK_HID_BUFFER_SIZE) Fail("write beyond the buffer", data[0]);
  // Every byte sent is read, as the kernel would copy it.
  volatile unsigned sum = 0;
  for (size_t i = 0; i < length; ++i) sum = sum + data[i];
  last_write = length;
  return static_cast<int>(length);
}

int hid_read_timeout(hid_device*, unsigned char*, size_t, int) { return 0; }

void hid_close(hid_device*) { device_open = false; }

}  // extern "C"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  descriptor_data = data;
  descriptor_size = size;
  node_fd = -1;
  const HidHandle h = OpenHidHandle(0x057E, 0x0306);
  if (h < 0) Fail("the device did not open", 0);

  // What the transport should have decided.
  uint16_t parsed[256];
  const bool usable = size > 0 && size < HID_MAX_DESCRIPTOR_SIZE &&
                      ParseOutputReportLengths(data, size, parsed) > 0;
  for (int id = 0; id < 256; ++id) {
    const size_t declared =
        usable ? parsed[id]
               : RemoteOutputReportLength(static_cast<uint8_t>(id));
    std::vector<uint8_t> buffer(ZOLMEK_HID_BUFFER_SIZE, 0x5A);
    buffer[0] = static_cast<uint8_t>(id);
    uint32_t count = 0;
    last_write = 0;
    const int32_t sent = WriteReport(h, buffer.data(), &count);
    if (declared == 0 || declared > ZOLMEK_HID_BUFFER_SIZE) {
      if (sent != -1) Fail("a report sent that should be refused", id);
    } else if (sent < 0 || static_cast<size_t>(sent) != declared ||
               count != declared || last_write != declared) {
      Fail("a report sent at a length not declared", id);
    }
  }
  if (CloseHidHandle(h) != 0 || device_open) Fail("the device stayed open", 0);
  return 0;
}
