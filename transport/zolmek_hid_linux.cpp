// The real transport: the remote's hidraw node, found through hidapi's
// hidraw backend.
//
// hidapi finds the node; reads and writes go to a descriptor of our own.
// The probe's reader reads while the main thread writes, and hidapi's
// hid_read_timeout and hid_write both replace the device's last error
// string (free, then a new one) without a lock: from two threads, once an
// error has happened, that frees the same string twice. read(2), write(2)
// and poll(2) on one descriptor are safe from two threads.
//
// A hidraw device wants each output report at the length its report
// descriptor declares (a longer write is refused or garbles the report), so
// the lengths are read from the descriptor when the device is opened.
//
// Waiting for a device is a udev monitor on the hidraw subsystem: a socket
// that wakes the waiter only when a node comes, goes or changes.

// C library
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
// Unix
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>
// Linux
#include <hidapi.h>
#include <libudev.h>
#include <linux/hidraw.h>

#include <mutex>

#include "protocol/wii_remote.h"
#include "transport/backend_common.h"
#include "transport/hid_id.h"
#include "transport/report_descriptor.h"
#include "transport/zolmek_hid.h"

namespace {

struct Device {
  int fd;  // -1: the slot is free
  uint16_t output_lengths[256];
  char path[64];  // "/dev/hidraw3"
};

constexpr int kMaxDevices = 8;
Device devices[kMaxDevices] = {{-1, {}, {}}, {-1, {}, {}}, {-1, {}, {}},
                               {-1, {}, {}}, {-1, {}, {}}, {-1, {}, {}},
                               {-1, {}, {}}, {-1, {}, {}}};
std::mutex table_lock;  // the devices and the note

// What the last OpenHidHandle had to say (GetHidNote).
char note[ZOLMEK_HID_TEXT_SIZE];

// The remote's own output report lengths, for when its descriptor cannot be
// read.
void UseRemoteLengths(uint16_t lengths[256]) {
  for (int id = 0; id < 256; ++id) {
    lengths[id] = static_cast<uint16_t>(
        RemoteOutputReportLength(static_cast<uint8_t>(id)));
  }
}

void LearnOutputLengths(int fd, uint16_t lengths[256]) {
  int size = 0;
  hidraw_report_descriptor descriptor;
  if (ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 &&
      size <= HID_MAX_DESCRIPTOR_SIZE) {
    descriptor.size = static_cast<uint32_t>(size);
    if (ioctl(fd, HIDIOCGRDESC, &descriptor) == 0 &&
        ParseOutputReportLengths(descriptor.value, descriptor.size, lengths) >
            0) {
      return;
    }
  }
  UseRemoteLengths(lengths);
}

// The kernel's hid-wiimote driver, when bound, sends register reads and mode
// changes of its own and takes replies meant for us.
void NoteIfKernelDriverBound(const char* path) {
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
    snprintf(note, sizeof note,
             "warning: the kernel's wiimote driver is bound to this remote "
             "and takes the replies zolmek waits for; install "
             "packaging/zolmek-blacklist.conf in /etc/modprobe.d, run "
             "'modprobe -r hid_wiimote' and reconnect the remote");
  }
}

// A remote that is there but cannot be opened would otherwise read as
// "not found": the note names it and the reason.
void NoteWhyNotOpened(const char* path, uint16_t vendor_id, uint16_t product_id,
                      int error) {
  if (error == ENOENT || error == ENODEV) return;  // gone meanwhile
  if (note[0] != '\0') return;                     // the first reason counts
  snprintf(note, sizeof note,
           "zolmek: the remote %04X:%04X at %s cannot be opened: %s (see "
           "\"Permissions\" in zolmek's README)",
           vendor_id, product_id, path, strerror(error));
}

// --- Waiting for a device ---------------------------------------------------

// Events from udevd come after its rules have run, so a new node already has
// the permissions the rules give it. Without udevd (a container, a minimal
// system) the kernel's own events are the only ones, and devtmpfs has made
// the node before the kernel announces it.
struct Watch {
  std::mutex lock;  // one waiter at a time
  WaitState state;
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;  // nullptr: none could be had
};
Watch watch;

// The platform's part of WaitByRules: a udev monitor on hidraw.
struct UdevWatch {
  uint16_t vendor_id, product_id;

  bool Start() {
    const char* source =
        access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
    watch.context = udev_new();
    if (watch.context != nullptr) {
      watch.monitor = udev_monitor_new_from_netlink(watch.context, source);
    }
    if (watch.monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(watch.monitor, "hidraw",
                                                        nullptr) < 0 ||
        udev_monitor_enable_receiving(watch.monitor) < 0) {
      if (watch.monitor != nullptr) udev_monitor_unref(watch.monitor);
      if (watch.context != nullptr) udev_unref(watch.context);
      watch.monitor = nullptr;
      watch.context = nullptr;
    }
    return watch.monitor != nullptr;
  }

  bool Present() {
    hid_device_info* list = hid_enumerate(vendor_id, product_id);
    bool present = false;
    for (hid_device_info* info = list; info != nullptr; info = info->next) {
      present |=
          info->path != nullptr && strncmp(info->path, "/dev/hidraw", 11) == 0;
    }
    hid_free_enumeration(list);
    return present;
  }

  // Reads every event waiting (the socket does not block).
  bool TakeArrivals() {
    bool arrived = false;
    while (udev_device* node = udev_monitor_receive_device(watch.monitor)) {
      // The hidraw node's parent, the HID device, carries the ids; it
      // belongs to `node` and goes with it.
      udev_device* hid =
          udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr);
      arrived |= IsArrivalEvent(
          udev_device_get_action(node),
          hid != nullptr ? udev_device_get_property_value(hid, "HID_ID")
                         : nullptr,
          vendor_id, product_id);
      udev_device_unref(node);
    }
    return arrived;
  }

  int Sleep(int64_t until_ms) {
    const int64_t left = until_ms - NowMs();
    const int timeout = until_ms == kNoDeadline ? -1
                        : left <= 0             ? 0
                        : left > INT_MAX        ? INT_MAX
                                                : static_cast<int>(left);
    pollfd events = {-1, POLLIN, 0};
    if (watch.monitor != nullptr) {
      events.fd = udev_monitor_get_fd(watch.monitor);
    }
    const int ready = poll(&events, events.fd >= 0 ? 1 : 0, timeout);
    return ready < 0 ? -1 : ready > 0 ? 1 : 0;
  }

  int64_t NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
  }
};

Device* Find(HidHandle h) {
  if (h < 0 || h >= kMaxDevices) return nullptr;
  return devices[h].fd >= 0 ? &devices[h] : nullptr;
}

}  // namespace

extern "C" {

ZOLMEK_HID_EXPORT HidHandle OpenHidHandle(uint16_t vendor_id,
                                          uint16_t product_id) {
  std::lock_guard<std::mutex> guard(table_lock);
  int slot = 0;
  while (slot < kMaxDevices && devices[slot].fd >= 0) ++slot;
  if (slot == kMaxDevices) return -1;

  // Enumerate and take the first match's path: bus_type is 0 for virtual
  // (uhid) devices, and only /dev/hidraw* paths are hidraw nodes.
  note[0] = '\0';
  hid_device_info* list = hid_enumerate(vendor_id, product_id);
  int fd = -1;
  for (hid_device_info* info = list; info != nullptr && fd < 0;
       info = info->next) {
    if (info->path == nullptr || strncmp(info->path, "/dev/hidraw", 11) != 0 ||
        strlen(info->path) >= sizeof devices[slot].path) {
      continue;
    }
    fd = open(info->path, O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
      LearnOutputLengths(fd, devices[slot].output_lengths);
      strcpy(devices[slot].path, info->path);
      NoteIfKernelDriverBound(info->path);
    } else {
      NoteWhyNotOpened(info->path, vendor_id, product_id, errno);
    }
  }
  hid_free_enumeration(list);
  if (fd < 0) return -1;
  devices[slot].fd = fd;
  return slot;
}

ZOLMEK_HID_EXPORT int32_t WaitForHidDevice(uint16_t vendor_id,
                                           uint16_t product_id,
                                           int32_t timeout_ms) {
  std::lock_guard<std::mutex> guard(watch.lock);
  UdevWatch platform{vendor_id, product_id};
  return WaitByRules(watch.state, platform, timeout_ms);
}

ZOLMEK_HID_EXPORT int32_t GetHidNote(char* buffer, int32_t size) {
  std::lock_guard<std::mutex> guard(table_lock);
  return CopyOut(note, buffer, size);
}

ZOLMEK_HID_EXPORT int32_t GetHidDevicePath(HidHandle h, char* buffer,
                                           int32_t size) {
  std::lock_guard<std::mutex> guard(table_lock);
  Device* device = Find(h);
  return device != nullptr ? CopyOut(device->path, buffer, size) : -1;
}

ZOLMEK_HID_EXPORT int32_t WriteReport(HidHandle h, const uint8_t* buffer,
                                      uint32_t* write_count) {
  Device* device = Find(h);
  if (device == nullptr || buffer == nullptr) return -1;
  const uint16_t length = device->output_lengths[buffer[0]];
  if (length == 0 || length > ZOLMEK_HID_BUFFER_SIZE) return -1;
  ssize_t sent;
  do {
    sent = write(device->fd, buffer, length);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) return -1;
  if (write_count != nullptr) *write_count = static_cast<uint32_t>(sent);
  return static_cast<int32_t>(sent);
}

ZOLMEK_HID_EXPORT int32_t ReadReportTimeout(HidHandle h, uint8_t* buffer,
                                            uint32_t* read_count,
                                            int32_t timeout_ms) {
  Device* device = Find(h);
  if (device == nullptr || buffer == nullptr) return -1;
  // A blocking read alone is not told of a disconnection on every kernel;
  // poll says so with POLLHUP or POLLERR.
  pollfd input = {device->fd, POLLIN, 0};
  const int ready = poll(&input, 1, timeout_ms < 0 ? -1 : timeout_ms);
  if (ready == 0) return 0;
  if (ready < 0) return errno == EINTR ? 0 : -1;
  if ((input.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return -1;
  const ssize_t got = read(device->fd, buffer, ZOLMEK_HID_BUFFER_SIZE);
  if (got < 0) return errno == EINTR || errno == EAGAIN ? 0 : -1;
  if (read_count != nullptr) *read_count = static_cast<uint32_t>(got);
  return static_cast<int32_t>(got);
}

ZOLMEK_HID_EXPORT int32_t ReadReport(HidHandle h, uint8_t* buffer,
                                     uint32_t* read_count) {
  return ReadReportTimeout(h, buffer, read_count, -1);
}

ZOLMEK_HID_EXPORT int32_t CloseHidHandle(HidHandle h) {
  std::lock_guard<std::mutex> guard(table_lock);
  Device* device = Find(h);
  if (device == nullptr) return -1;
  close(device->fd);
  device->fd = -1;
  return 0;
}

}  // extern "C"
