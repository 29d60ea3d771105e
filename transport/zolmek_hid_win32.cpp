// The real transport on Windows: the Win32 HID API.
//
// The device is found with SetupDi over the HID interface class and matched
// by HidD_GetAttributes (vendor and product id; wine and every PC have HID
// devices of their own). It is opened for overlapped I/O so a read can time
// out and be cancelled.
//
// Report lengths on Windows: ReadFile always delivers InputReportByteLength
// bytes whatever report came, so the report's length is taken from its id.
// WriteFile on Windows 8 and later takes an output report at its own length
// and refuses one padded to OutputReportByteLength (22 for the remote);
// older stacks want the padded length and refuse the short write with
// ERROR_INVALID_USER_BUFFER. The own length is tried first and the padded
// one from then on if it is refused.

// Windows
#include <windows.h>
// (windows.h first: the others build on its types)
#include <setupapi.h>
// mingw-w64's HID headers declare their functions without extern "C".
extern "C" {
#include <hidsdi.h>
}

#include <cstdio>
#include <mutex>

#include "protocol/wii_remote.h"
#include "transport/zolmek_hid.h"

namespace {

struct Device {
  HANDLE file;
  HANDLE read_event;
  HANDLE write_event;
  size_t input_length;   // InputReportByteLength
  size_t output_length;  // OutputReportByteLength
  bool pad_writes;       // the stack refused a report at its own length
  std::mutex read_lock;  // one OVERLAPPED per direction
  std::mutex write_lock;
};

constexpr int kMaxDevices = 8;
Device devices[kMaxDevices];
std::mutex table_lock;

// A write normally completes within milliseconds; one that has not after
// this long goes to a device that no longer takes reports.
constexpr DWORD kWriteTimeoutMs = 1000;

Device* Find(HidHandle h) {
  if (h < 0 || h >= kMaxDevices) return nullptr;
  return devices[h].file != nullptr ? &devices[h] : nullptr;
}

// A remote that is there but cannot be opened (held by another program,
// access denied) would otherwise read as "not found": the reason goes to
// stderr, once.
void SayWhyNotOpened(const char* path, uint16_t vendor_id, uint16_t product_id,
                     DWORD error) {
  char reason[256] = "";
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reason, sizeof reason, nullptr);
  DWORD end = length < sizeof reason ? length : sizeof reason - 1;
  while (end > 0 && (reason[end - 1] == '\r' || reason[end - 1] == '\n' ||
                     reason[end - 1] == ' ' || reason[end - 1] == '.')) {
    --end;
  }
  reason[end] = '\0';
  fprintf(stderr,
          "zolmek: the remote %04X:%04X at %s cannot be opened: %s (error "
          "%lu; see \"Permissions\" in zolmek's README)\n",
          vendor_id, product_id, path, end > 0 ? reason : "unknown error",
          static_cast<unsigned long>(error));
}

// Opens the device at `path` when its ids match. Returns INVALID_HANDLE_VALUE
// otherwise. The ids are read through a handle without access rights, which
// opens even devices the system holds exclusively (keyboards, mice).
HANDLE OpenIfMatching(const char* path, uint16_t vendor_id,
                      uint16_t product_id) {
  HANDLE probe = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  HIDD_ATTRIBUTES attributes = {};
  attributes.Size = sizeof attributes;
  const bool match = HidD_GetAttributes(probe, &attributes) &&
                     attributes.VendorID == vendor_id &&
                     attributes.ProductID == product_id;
  CloseHandle(probe);
  if (!match) return INVALID_HANDLE_VALUE;
  const HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    SayWhyNotOpened(path, vendor_id, product_id, GetLastError());
  }
  return file;
}

HANDLE OpenFirstMatching(uint16_t vendor_id, uint16_t product_id) {
  GUID hid_guid;
  HidD_GetHidGuid(&hid_guid);
  HDEVINFO set = SetupDiGetClassDevsA(&hid_guid, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  HANDLE file = INVALID_HANDLE_VALUE;
  SP_DEVICE_INTERFACE_DATA interface_data = {};
  interface_data.cbSize = sizeof interface_data;
  // A device path is well under this; one that is not is skipped.
  alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_A) char detail_bytes[1024];
  auto* detail =
      reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail_bytes);
  for (DWORD index = 0; file == INVALID_HANDLE_VALUE &&
                        SetupDiEnumDeviceInterfaces(set, nullptr, &hid_guid,
                                                    index, &interface_data);
       ++index) {
    detail->cbSize = sizeof *detail;
    if (!SetupDiGetDeviceInterfaceDetailA(set, &interface_data, detail,
                                          sizeof detail_bytes, nullptr,
                                          nullptr)) {
      continue;
    }
    file = OpenIfMatching(detail->DevicePath, vendor_id, product_id);
  }
  SetupDiDestroyDeviceInfoList(set);
  return file;
}

// Waits for an overlapped operation. Returns the bytes transferred, 0 when
// it did not complete in time (it is then cancelled, unless it completed
// meanwhile: then its bytes count), or -1 with the error in *error.
int32_t AwaitOverlapped(HANDLE file, OVERLAPPED* overlapped, DWORD timeout_ms,
                        DWORD* error) {
  DWORD transferred = 0;
  if (WaitForSingleObject(overlapped->hEvent, timeout_ms) != WAIT_OBJECT_0) {
    CancelIoEx(file, overlapped);
    // Wait for the cancel to land: the OVERLAPPED and the buffer must not
    // be reused while the operation still owns them. A report that arrived
    // just before the cancel is kept, not lost.
    if (GetOverlappedResult(file, overlapped, &transferred, TRUE)) {
      return static_cast<int32_t>(transferred);
    }
    *error = GetLastError();
    return *error == ERROR_OPERATION_ABORTED ? 0 : -1;
  }
  if (GetOverlappedResult(file, overlapped, &transferred, FALSE)) {
    return static_cast<int32_t>(transferred);
  }
  *error = GetLastError();
  return -1;
}

// One overlapped write of `length` bytes. -1 with the error on failure.
int32_t WriteOnce(Device& device, const uint8_t* bytes, DWORD length,
                  DWORD* error) {
  OVERLAPPED overlapped = {};
  overlapped.hEvent = device.write_event;
  ResetEvent(device.write_event);
  if (!WriteFile(device.file, bytes, length, nullptr, &overlapped)) {
    *error = GetLastError();
    if (*error != ERROR_IO_PENDING) return -1;
  }
  const int32_t sent =
      AwaitOverlapped(device.file, &overlapped, kWriteTimeoutMs, error);
  if (sent == 0) {
    *error = ERROR_TIMEOUT;
    return -1;
  }
  return sent;
}

void CloseDevice(Device& device) {
  CloseHandle(device.file);
  CloseHandle(device.read_event);
  CloseHandle(device.write_event);
  device.file = nullptr;
  device.read_event = nullptr;
  device.write_event = nullptr;
}

}  // namespace

extern "C" {

ZOLMEK_HID_EXPORT HidHandle ZOLMEK_HID_CALL OpenHidHandle(uint16_t vendor_id,
                                                          uint16_t product_id) {
  std::lock_guard<std::mutex> guard(table_lock);
  int slot = 0;
  while (slot < kMaxDevices && devices[slot].file != nullptr) ++slot;
  if (slot == kMaxDevices) return -1;

  const HANDLE file = OpenFirstMatching(vendor_id, product_id);
  if (file == INVALID_HANDLE_VALUE) return -1;
  Device& device = devices[slot];
  device.file = file;
  device.read_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  device.write_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  device.input_length = ZOLMEK_HID_BUFFER_SIZE;
  device.output_length = 0;
  device.pad_writes = false;
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  if (HidD_GetPreparsedData(file, &preparsed)) {
    HIDP_CAPS caps;
    if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
      device.input_length = caps.InputReportByteLength;
      device.output_length = caps.OutputReportByteLength;
    }
    HidD_FreePreparsedData(preparsed);
  }
  if (device.read_event == nullptr || device.write_event == nullptr ||
      device.input_length == 0 ||
      device.input_length > ZOLMEK_HID_BUFFER_SIZE ||
      device.output_length > ZOLMEK_HID_BUFFER_SIZE) {
    CloseDevice(device);
    return -1;
  }
  return slot;
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL WriteReport(HidHandle h,
                                                      const uint8_t* buffer,
                                                      uint32_t* write_count) {
  Device* device = Find(h);
  if (device == nullptr || buffer == nullptr) return -1;
  const size_t length = RemoteOutputReportLength(buffer[0]);
  if (length == 0) return -1;
  std::lock_guard<std::mutex> guard(device->write_lock);
  DWORD error = 0;
  int32_t sent = -1;
  if (!device->pad_writes) {
    sent = WriteOnce(*device, buffer, static_cast<DWORD>(length), &error);
    if (sent < 0 && error == ERROR_INVALID_USER_BUFFER &&
        device->output_length > length) {
      device->pad_writes = true;
    }
  }
  if (device->pad_writes) {
    // The report, then zeros: not whatever earlier, longer reports left in
    // the caller's buffer.
    uint8_t padded[ZOLMEK_HID_BUFFER_SIZE] = {};
    for (size_t i = 0; i < length; ++i) padded[i] = buffer[i];
    sent = WriteOnce(*device, padded, static_cast<DWORD>(device->output_length),
                     &error);
  }
  if (sent < 0) return -1;
  if (write_count != nullptr) *write_count = static_cast<uint32_t>(sent);
  return sent;
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL ReadReportTimeout(
    HidHandle h, uint8_t* buffer, uint32_t* read_count, int32_t timeout_ms) {
  Device* device = Find(h);
  if (device == nullptr || buffer == nullptr) return -1;
  std::lock_guard<std::mutex> guard(device->read_lock);
  OVERLAPPED overlapped = {};
  overlapped.hEvent = device->read_event;
  ResetEvent(device->read_event);
  DWORD error = 0;
  if (!ReadFile(device->file, buffer, static_cast<DWORD>(device->input_length),
                nullptr, &overlapped)) {
    error = GetLastError();
    if (error != ERROR_IO_PENDING) return -1;  // gone, or never there
  }
  const DWORD wait = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
  const int32_t got = AwaitOverlapped(device->file, &overlapped, wait, &error);
  if (got <= 0) return got;
  const int32_t length = static_cast<int32_t>(
      RemoteInputReportLength(buffer[0], static_cast<size_t>(got)));
  if (read_count != nullptr) *read_count = static_cast<uint32_t>(length);
  return length;
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL ReadReport(HidHandle h,
                                                     uint8_t* buffer,
                                                     uint32_t* read_count) {
  return ReadReportTimeout(h, buffer, read_count, -1);
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL CloseHidHandle(HidHandle h) {
  std::lock_guard<std::mutex> guard(table_lock);
  Device* device = Find(h);
  if (device == nullptr) return -1;
  CloseDevice(*device);
  return 0;
}

}  // extern "C"
