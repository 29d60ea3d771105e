#include "test_support/hidapi_fake.h"

#include <fcntl.h>
#include <hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace fake_hidapi {

std::vector<uint8_t> descriptor;
std::string driver;
size_t last_write = 0;
bool device_open = false;
int open_error = 0;

namespace {
int node_fd = -1;  // a real descriptor (of /dev/null) stands for the node
}

void Reset() {
  descriptor.clear();
  driver.clear();
  last_write = 0;
  device_open = false;
  open_error = 0;
  node_fd = -1;
}

}  // namespace fake_hidapi

using namespace fake_hidapi;

extern "C" {

int __real_open(const char* path, int flags, ...);
int __real_ioctl(int fd, unsigned long request, ...);
ssize_t __real_readlink(const char* path, char* buffer, size_t size);
ssize_t __real_write(int fd, const void* data, size_t length);
int __real_close(int fd);

int __wrap_open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & O_CREAT) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  if (std::strcmp(path, kNode) != 0) return __real_open(path, flags, mode);
  if (open_error != 0) {
    errno = open_error;
    return -1;
  }
  node_fd = __real_open("/dev/null", O_RDWR | O_CLOEXEC);
  device_open = node_fd >= 0;
  return node_fd;
}

ssize_t __wrap_write(int fd, const void* data, size_t length) {
  if (fd != node_fd || node_fd < 0) return __real_write(fd, data, length);
  // Every byte sent is read, as the kernel would copy it.
  const auto* bytes = static_cast<const unsigned char*>(data);
  volatile unsigned sum = 0;
  for (size_t i = 0; i < length; ++i) sum = sum + bytes[i];
  last_write = length;
  return static_cast<ssize_t>(length);
}

int __wrap_close(int fd) {
  if (fd == node_fd && node_fd >= 0) {
    device_open = false;
    node_fd = -1;
  }
  return __real_close(fd);
}

// The two hidraw requests as the kernel answers them.
int __wrap_ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  if (fd != node_fd || node_fd < 0) return __real_ioctl(fd, request, arg);
  if (request == HIDIOCGRDESCSIZE) {
    *static_cast<int*>(arg) = static_cast<int>(descriptor.size());
    return 0;
  }
  if (request == HIDIOCGRDESC) {
    auto* d = static_cast<hidraw_report_descriptor*>(arg);
    if (d->size > HID_MAX_DESCRIPTOR_SIZE - 1) {
      errno = EINVAL;
      return -1;
    }
    std::memcpy(d->value, descriptor.data(),
                d->size < descriptor.size() ? d->size : descriptor.size());
    return 0;
  }
  errno = ENOTTY;
  return -1;
}

ssize_t __wrap_readlink(const char* path, char* buffer, size_t size) {
  if (std::strcmp(path, kDriverLink) != 0) {
    return __real_readlink(path, buffer, size);
  }
  if (driver.empty()) {
    errno = ENOENT;
    return -1;
  }
  const std::string target = "../../../../bus/hid/drivers/" + driver;
  const size_t length = target.size() < size ? target.size() : size;
  std::memcpy(buffer, target.data(), length);  // not terminated, as readlink
  return static_cast<ssize_t>(length);
}

// --- hidapi's enumeration, one device
// ------------------------------------------------------

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

}  // extern "C"
