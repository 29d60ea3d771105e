// The report descriptor that zolmek-remote gives the kernel for its virtual
// remote. The kernel passes on only input reports whose id the descriptor
// declares, and the transport sizes each output report from it, so it lists
// every report the remote exchanges with zolmek, at the remote's lengths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zolmek_remote {

struct DeclaredReport {
  uint8_t id;
  size_t length;  // id byte included
};

// Output reports: LEDs, report mode, register write, register read request.
inline constexpr DeclaredReport kOutputReports[] = {
    {0x11, 2}, {0x12, 3}, {0x16, 22}, {0x17, 7}};
// Input reports: status, read reply, acknowledgement, buttons, buttons and
// accelerometer.
inline constexpr DeclaredReport kInputReports[] = {
    {0x20, 7}, {0x21, 22}, {0x22, 5}, {0x30, 3}, {0x31, 6}};

// A vendor-defined application collection with 8-bit fields: nothing in it
// maps to an input event, so hid-generic binds it for hidraw alone.
std::vector<uint8_t> RemoteReportDescriptor();

}  // namespace zolmek_remote
