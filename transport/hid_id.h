// The HID_ID that the kernel gives every HID device (in its uevent, and so
// in udev's properties): bus, vendor and product in hexadecimal,
// "0005:0000057E:00000306" for a remote on Bluetooth.
#pragma once

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

// Whether `hid_id` names these ids; an id of 0 matches any. False for a
// missing or malformed HID_ID.
inline bool HidIdMatches(const char* hid_id, uint16_t vendor_id,
                         uint16_t product_id) {
  if (hid_id == nullptr) return false;
  unsigned long fields[3];
  const char* at = hid_id;
  for (int i = 0; i < 3; ++i) {
    char* end = nullptr;
    fields[i] = strtoul(at, &end, 16);
    if (end == at || *end != (i < 2 ? ':' : '\0')) return false;
    at = end + 1;
  }
  return (vendor_id == 0 || fields[1] == vendor_id) &&
         (product_id == 0 || fields[2] == product_id);
}

// Whether a udev event of a hidraw node may bring a device with these ids:
// its node came ("add"), or changed ("change": "udevadm trigger" after new
// rules, which may make the node ours to open). `hid_id` is the HID_ID of
// the node's HID device, NULL when it has none.
inline bool IsArrivalEvent(const char* action, const char* hid_id,
                           uint16_t vendor_id, uint16_t product_id) {
  return action != nullptr &&
         (strcmp(action, "add") == 0 || strcmp(action, "change") == 0) &&
         HidIdMatches(hid_id, vendor_id, product_id);
}
