// Output report lengths from a HID report descriptor.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Fills lengths[id] with the length in bytes (report id included) of every
// output report the descriptor declares; lengths[id] stays 0 for the rest.
// A descriptor without report ids declares report 0 (its length then
// counts the 0 that hidapi wants in front). Returns the number of
// output reports found, or -1 when the descriptor is malformed.
int ParseOutputReportLengths(const uint8_t* descriptor, size_t size,
                             uint16_t lengths[256]);
