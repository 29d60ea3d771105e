#include "transport/report_descriptor.h"

#include <string.h>

// Report Size and Report Count are 32-bit each, so one main item may declare
// up to 2^64 bits. A report's bits are summed in 64 bits and held at this
// ceiling, past the longest length the parser gives (0xFFFF bytes), so that
// no sum wraps round to a short length.
constexpr uint64_t kBitsCeiling = (uint64_t{0xFFFF} + 1) * 8;

int ParseOutputReportLengths(const uint8_t* descriptor, size_t size,
                             uint16_t lengths[256]) {
  uint64_t bits[256];
  memset(bits, 0, sizeof bits);
  bool declared[256] = {};
  uint32_t report_size = 0;
  uint32_t report_count = 0;
  uint8_t report_id = 0;
  // Global items pushed and popped, only the ones that matter here.
  struct Globals {
    uint32_t size, count;
    uint8_t id;
  } stack[8];
  int depth = 0;

  size_t i = 0;
  while (i < size) {
    const uint8_t prefix = descriptor[i];
    if (prefix == 0xFE) {  // long item: skip it whole
      if (i + 2 >= size) return -1;
      i += 3 + descriptor[i + 1];
      continue;
    }
    const size_t data_size = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
    if (i + 1 + data_size > size) return -1;
    uint32_t value = 0;
    for (size_t b = 0; b < data_size; ++b) {
      value |= static_cast<uint32_t>(descriptor[i + 1 + b]) << (8 * b);
    }
    switch (prefix & 0xFC) {
      case 0x74:  // Report Size
        report_size = value;
        break;
      case 0x94:  // Report Count
        report_count = value;
        break;
      case 0x84:  // Report ID
        if (value == 0 || value > 255) return -1;
        report_id = static_cast<uint8_t>(value);
        break;
      case 0xA4:  // Push
        if (depth == 8) return -1;
        stack[depth++] = {report_size, report_count, report_id};
        break;
      case 0xB4:  // Pop
        if (depth == 0) return -1;
        --depth;
        report_size = stack[depth].size;
        report_count = stack[depth].count;
        report_id = stack[depth].id;
        break;
      case 0x90: {  // Output (main item)
        const uint64_t item = uint64_t{report_size} * report_count;
        const uint64_t sum =
            bits[report_id] + (item < kBitsCeiling ? item : kBitsCeiling);
        bits[report_id] = sum < kBitsCeiling ? sum : kBitsCeiling;
        declared[report_id] = true;
        break;
      }
      default:
        break;
    }
    i += 1 + data_size;
  }

  int found = 0;
  for (int id = 0; id < 256; ++id) {
    lengths[id] = 0;
    if (!declared[id]) continue;
    // hidapi always takes the report id first, 0 for a device without ids.
    const uint64_t bytes = (bits[id] + 7) / 8 + 1;
    lengths[id] = static_cast<uint16_t>(bytes > 0xFFFF ? 0xFFFF : bytes);
    ++found;
  }
  return found;
}
