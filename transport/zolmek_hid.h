/*
 * zolmek_hid.h - the HID transport between zolmek and a Wii Remote.
 *
 * Two shared libraries export exactly these five functions with C linkage
 * and the SONAME libzolmek-hid.so.1: the real transport (hidapi, hidraw
 * backend) and the emulator. zolmek finds whichever comes first in the
 * dynamic linker's search path, so the same binary runs against either.
 *
 * One thread may read a handle while another writes it. A handle is a small
 * non-negative number; -1 means "no device".
 */
#ifndef ZOLMEK_HID_H
#define ZOLMEK_HID_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define ZOLMEK_HID_EXPORT __declspec(dllexport)
#define ZOLMEK_HID_CALL __cdecl
#else
#define ZOLMEK_HID_EXPORT __attribute__((visibility("default")))
#define ZOLMEK_HID_CALL
#endif

typedef int32_t HidHandle; /* -1: no device */

/* Size of the report buffers that WriteReport and the reads work on. */
#define ZOLMEK_HID_BUFFER_SIZE 256

/** Opens the first HID device with these ids.
 *  Returns a handle >= 0, or -1 when no such device can be opened. When
 *  such a device is there but cannot be opened (no permission on its node,
 *  held by another program), one line naming the device and the cause is
 *  written to stderr before -1 is returned; nothing is written when there
 *  is simply no such device. */
ZOLMEK_HID_EXPORT HidHandle ZOLMEK_HID_CALL OpenHidHandle(uint16_t vendor_id,
                                                          uint16_t product_id);

/** Sends one output report. buffer holds ZOLMEK_HID_BUFFER_SIZE bytes, the
 *  report id in byte 0. Only the report's own length, as the device's report
 *  descriptor declares it, is sent (for the remote: 0x11 -> 2 bytes,
 *  0x12 -> 3, 0x16 -> 22, 0x17 -> 7, id included), never the whole buffer.
 *  Returns the number of bytes sent, also stored in *write_count (which may
 *  be NULL), or -1 on failure (unknown handle, unknown report id, device
 *  gone). */
ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL WriteReport(HidHandle h,
                                                      const uint8_t *buffer,
                                                      uint32_t *write_count);

/** Waits until one input report arrives and places it in buffer
 *  (ZOLMEK_HID_BUFFER_SIZE bytes, report id in byte 0). Returns its length,
 *  also stored in *read_count (which may be NULL), or -1 when the device is
 *  gone or the handle is unknown. */
ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL ReadReport(HidHandle h,
                                                     uint8_t *buffer,
                                                     uint32_t *read_count);

/** As ReadReport, but returns 0 when nothing arrived within timeout_ms
 *  milliseconds (0: do not wait; negative: wait as long as it takes). */
ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL ReadReportTimeout(
    HidHandle h, uint8_t *buffer, uint32_t *read_count, int32_t timeout_ms);

/** Closes the handle. No other thread may be inside a call on it.
 *  Returns 0, or -1 for an unknown handle. */
ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL CloseHidHandle(HidHandle h);

#ifdef __cplusplus
}
#endif

#endif /* ZOLMEK_HID_H */
