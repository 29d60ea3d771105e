/*
 * zolmek_hid.h - the HID transport between zolmek and a Wii Remote.
 *
 * Two shared libraries export exactly these eight functions with C linkage
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
/* A buffer of this size holds any device path and any note, with its NUL. */
#define ZOLMEK_HID_TEXT_SIZE 2048

/** Waits, at no cost while nothing happens, until a device with these ids
 *  may have arrived (an id of 0 matches any, as in hidapi's enumeration:
 *  product id 0 waits for a Wii Remote and a Wii Remote Plus alike), for at
 *  most timeout_ms milliseconds (negative: as long as it takes). The watch
 *  is one for the process. Returns 1 when one did: the caller then calls
 *  OpenHidHandle, which may still find nothing (another device, or one
 *  gone again). The first call begins the watch and returns 1 at once when
 *  such a device is already there, as it may have come before the watch
 *  began; later calls return 1 for a device that arrived since the
 *  previous call, or whose node changed (new permissions, "udevadm
 *  trigger"), so an arrival between two calls is not lost, and a device
 *  that stays there without being opened does not wake the caller again.
 *  Returns 0 when the time ran out or a signal interrupted the wait, and
 *  -1 when this transport cannot watch (the caller then tries
 *  OpenHidHandle on a timer of its own). Where the platform's notification
 *  cannot be had (no udev monitor; Windows 7, which has no
 *  CM_Register_Notification), it returns 1 once a second, so that the
 *  caller enumerates once a second. Calls from several threads take turns. */
ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL WaitForHidDevice(uint16_t vendor_id,
                                                           uint16_t product_id,
                                                           int32_t timeout_ms);

/** Opens the first HID device with these ids.
 *  Returns a handle >= 0, or -1 when no such device can be opened. Writes
 *  nothing anywhere: what the open has to say is read with GetHidNote. */
ZOLMEK_HID_EXPORT HidHandle ZOLMEK_HID_CALL OpenHidHandle(uint16_t vendor_id,
                                                          uint16_t product_id);

/** What the last OpenHidHandle had to say, as one line without a newline,
 *  "" when nothing: why a device with the ids asked for is there but could
 *  not be opened ("zolmek: the remote 057E:0306 at /dev/hidraw3 cannot be
 *  opened: Permission denied (see "Permissions" in zolmek's README)"), or
 *  a warning about the device it opened ("warning: the kernel's wiimote
 *  driver is bound to this remote ..."). When several devices matched, a
 *  warning about the one opened wins over the reason another could not be
 *  opened, and of several reasons the first is kept. Nothing is said when
 *  there is simply no such device. Returns the note's length (0: no note),
 *  or -1 when buffer is NULL or size too small for the note and its NUL
 *  (nothing is written then; ZOLMEK_HID_TEXT_SIZE always suffices). */
ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL GetHidNote(char *buffer,
                                                     int32_t size);

/** The opened device's node, NUL-terminated: "/dev/hidraw3" on Linux, the
 *  device interface path on Windows. Returns its length, or -1 for an
 *  unknown handle, a NULL buffer or a size too small for the path and its
 *  NUL (ZOLMEK_HID_TEXT_SIZE always suffices). */
ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL GetHidDevicePath(HidHandle h,
                                                           char *buffer,
                                                           int32_t size);

/** Sends one output report. buffer holds ZOLMEK_HID_BUFFER_SIZE bytes, the
 *  report id in byte 0. Only the report's own length, as the device's report
 *  descriptor declares it, is sent (for the remote: 0x11 -> 2 bytes,
 *  0x12 -> 3, 0x15 -> 2, 0x16 -> 22, 0x17 -> 7, id included), never the
 *  whole buffer. Returns the number of bytes sent, also stored in
 *  *write_count (which may be NULL), or -1 on failure (unknown handle,
 *  unknown report id, device gone). */
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
