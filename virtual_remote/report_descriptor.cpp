#include "virtual_remote/report_descriptor.h"

namespace zolmek_remote {

std::vector<uint8_t> RemoteReportDescriptor() {
  std::vector<uint8_t> d = {
      0x06, 0x00, 0xFF,  // Usage Page (vendor defined 0xFF00)
      0x09, 0x01,        // Usage (1)
      0xA1, 0x01,        // Collection (Application)
      0x15, 0x00,        //   Logical Minimum (0)
      0x26, 0xFF, 0x00,  //   Logical Maximum (255)
      0x75, 0x08,        //   Report Size (8)
  };
  auto declare = [&d](uint8_t id, size_t length, uint8_t main_item) {
    d.insert(d.end(), {
                          0x85, id,                                // Report ID
                          0x95, static_cast<uint8_t>(length - 1),  // Count
                          0x09, 0x01,                              // Usage (1)
                          main_item, 0x02,  // Data, Variable, Absolute
                      });
  };
  for (uint8_t id : kOutputReports) {
    declare(id, RemoteOutputReportLength(id), 0x91);  // Output
  }
  for (uint8_t id : kInputReports) {
    declare(id, RemoteInputReportLength(id), 0x81);  // Input
  }
  d.push_back(0xC0);  // End Collection
  return d;
}

}  // namespace zolmek_remote
