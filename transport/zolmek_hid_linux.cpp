// The real transport: hidapi's hidraw backend.
//
// hidapi sends whatever length it is given, but a hidraw device wants each
// output report at the length its report descriptor declares (a longer
// write is refused or garbles the report), so the lengths are read from the
// descriptor when the device is opened.

// C library
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
// Unix
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
// Linux
#include <hidapi.h>
#include <linux/hidraw.h>

#include <mutex>

#include "protocol/wii_remote.h"
#include "transport/report_descriptor.h"
#include "transport/zolmek_hid.h"

namespace {

struct Device {
  hid_device* hid;
  uint16_t output_lengths[256];
};

constexpr int kMaxDevices = 8;
Device devices[kMaxDevices];
std::mutex table_lock;
int hidapi_users = 0;

// The remote's own output report lengths, for when its descriptor cannot be
// read.
void UseRemoteLengths(uint16_t lengths[256]) {
  for (int id = 0; id < 256; ++id) {
    lengths[id] = static_cast<uint16_t>(
        RemoteOutputReportLength(static_cast<uint8_t>(id)));
  }
}

void LearnOutputLengths(const char* path, uint16_t lengths[256]) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    int size = 0;
    hidraw_report_descriptor descriptor;
    if (ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 &&
        size <= HID_MAX_DESCRIPTOR_SIZE) {
      descriptor.size = static_cast<uint32_t>(size);
      if (ioctl(fd, HIDIOCGRDESC, &descriptor) == 0 &&
          ParseOutputReportLengths(descriptor.value, descriptor.size, lengths) >
              0) {
        close(fd);
        return;
      }
    }
    close(fd);
  }
  UseRemoteLengths(lengths);
}

// The kernel's hid-wiimote driver, when bound, sends register reads and mode
// changes of its own and takes replies meant for us.
void WarnIfKernelDriverBound(const char* path) {
  const char* node = strrchr(path, '/');
  if (node == nullptr) return;
  char link[PATH_MAX];
  snprintf(link, sizeof link, "/sys/class/hidraw%s/device/driver", node);
  char target[PATH_MAX];
  const ssize_t length = readlink(link, target, sizeof target - 1);
  if (length <= 0) return;
  target[length] = '\0';
  const char* driver = strrchr(target, '/');
  driver = driver != nullptr ? driver + 1 : target;
  if (strcmp(driver, "wiimote") == 0) {
    fprintf(stderr,
            "warning: the kernel's wiimote driver is bound to this remote "
            "and takes the replies zolmek waits for; install "
            "packaging/zolmek-blacklist.conf in /etc/modprobe.d, run "
            "'modprobe -r hid_wiimote' and reconnect the remote\n");
  }
}

// A remote that is there but cannot be opened would otherwise read as
// "not found". The reason (hidapi keeps it as text only) is asked of the
// node again with open(2) and said once on stderr.
void SayWhyNotOpened(const char* path, uint16_t vendor_id,
                     uint16_t product_id) {
  const int fd = open(path, O_RDWR | O_CLOEXEC);
  const int error = fd < 0 ? errno : 0;
  if (fd >= 0) close(fd);
  if (error == 0 || error == ENOENT || error == ENODEV) return;  // gone
  fprintf(stderr,
          "zolmek: the remote %04X:%04X at %s cannot be opened: %s (see "
          "\"Permissions\" in zolmek's README)\n",
          vendor_id, product_id, path, strerror(error));
}

Device* Find(HidHandle h) {
  if (h < 0 || h >= kMaxDevices) return nullptr;
  return devices[h].hid != nullptr ? &devices[h] : nullptr;
}

}  // namespace

extern "C" {

ZOLMEK_HID_EXPORT HidHandle OpenHidHandle(uint16_t vendor_id,
                                          uint16_t product_id) {
  std::lock_guard<std::mutex> guard(table_lock);
  int slot = 0;
  while (slot < kMaxDevices && devices[slot].hid != nullptr) ++slot;
  if (slot == kMaxDevices) return -1;
  if (hidapi_users == 0 && hid_init() != 0) return -1;
  ++hidapi_users;

  // Enumerate and take the first match's path ourselves: bus_type is 0 for
  // virtual (uhid) devices, and hidapi 0.13 crashes on a path that is not a
  // hidraw node, so only /dev/hidraw* paths are passed on.
  hid_device_info* list = hid_enumerate(vendor_id, product_id);
  hid_device* hid = nullptr;
  for (hid_device_info* info = list; info != nullptr && hid == nullptr;
       info = info->next) {
    if (info->path == nullptr || strncmp(info->path, "/dev/hidraw", 11) != 0) {
      continue;
    }
    hid = hid_open_path(info->path);
    if (hid != nullptr) {
      LearnOutputLengths(info->path, devices[slot].output_lengths);
      WarnIfKernelDriverBound(info->path);
    } else {
      SayWhyNotOpened(info->path, vendor_id, product_id);
    }
  }
  hid_free_enumeration(list);
  if (hid == nullptr) {
    if (--hidapi_users == 0) hid_exit();
    return -1;
  }
  devices[slot].hid = hid;
  return slot;
}

ZOLMEK_HID_EXPORT int32_t WriteReport(HidHandle h, const uint8_t* buffer,
                                      uint32_t* write_count) {
  Device* device = Find(h);
  if (device == nullptr || buffer == nullptr) return -1;
  const uint16_t length = device->output_lengths[buffer[0]];
  if (length == 0 || length > ZOLMEK_HID_BUFFER_SIZE) return -1;
  const int sent = hid_write(device->hid, buffer, length);
  if (sent < 0) return -1;
  if (write_count != nullptr) *write_count = static_cast<uint32_t>(sent);
  return sent;
}

ZOLMEK_HID_EXPORT int32_t ReadReportTimeout(HidHandle h, uint8_t* buffer,
                                            uint32_t* read_count,
                                            int32_t timeout_ms) {
  Device* device = Find(h);
  if (device == nullptr || buffer == nullptr) return -1;
  const int got =
      hid_read_timeout(device->hid, buffer, ZOLMEK_HID_BUFFER_SIZE, timeout_ms);
  if (got < 0) return -1;
  if (read_count != nullptr) *read_count = static_cast<uint32_t>(got);
  return got;
}

ZOLMEK_HID_EXPORT int32_t ReadReport(HidHandle h, uint8_t* buffer,
                                     uint32_t* read_count) {
  return ReadReportTimeout(h, buffer, read_count, -1);
}

ZOLMEK_HID_EXPORT int32_t CloseHidHandle(HidHandle h) {
  std::lock_guard<std::mutex> guard(table_lock);
  Device* device = Find(h);
  if (device == nullptr) return -1;
  hid_close(device->hid);
  device->hid = nullptr;
  if (--hidapi_users == 0) hid_exit();
  return 0;
}

}  // extern "C"
