// A stand-in for hidapi and the hidraw node behind it, for the real Linux
// transport (transport/zolmek_hid_linux.cpp) linked without hidapi: one
// device at kNode. hidapi's enumeration is defined in hidapi_fake.cpp; the
// transport's open(), ioctl(), write(), close() and readlink() reach it
// through the linker's --wrap for that node and its sysfs entry, and the
// system's otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fake_hidapi {

inline constexpr char kNode[] = "/dev/hidraw7";
// What the transport looks up to learn which kernel driver has the device.
inline constexpr char kDriverLink[] = "/sys/class/hidraw/hidraw7/device/driver";

// The node's report descriptor, as HIDIOCGRDESC hands it over.
extern std::vector<uint8_t> descriptor;
// Where kDriverLink points, "" for no link.
extern std::string driver;
// The length of the latest write to the node (every byte of it is read).
extern size_t last_write;
extern bool device_open;
// What opening the node fails with, 0 for success.
extern int open_error;

void Reset();

}  // namespace fake_hidapi
