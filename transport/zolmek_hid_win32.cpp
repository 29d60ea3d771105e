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
//
// Waiting for a device: CM_Register_Notification (Windows 8 and later) calls
// back on a thread of the system's for every new HID interface. It is looked
// up at run time, since the program also runs on Windows 7, which lacks it;
// there (and under wine, which lacks it too) the wait ends once a second.

// Windows
#include <windows.h>
// (windows.h first: the others build on its types)
#include <cfgmgr32.h>
#include <setupapi.h>
// mingw-w64's HID headers declare their functions without extern "C".
extern "C" {
#include <hidsdi.h>
}

#include <cstdio>
#include <cstring>
#include <mutex>

#include "protocol/wii_remote.h"
#include "transport/backend_common.h"
#include "transport/zolmek_hid.h"

namespace {

struct Device {
  char path[ZOLMEK_HID_TEXT_SIZE];  // the interface path it was opened by
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
std::mutex table_lock;  // the devices and the note

// What the last OpenHidHandle had to say (GetHidNote).
char note[ZOLMEK_HID_TEXT_SIZE];

// A write normally completes within milliseconds; one that has not after
// this long goes to a device that no longer takes reports.
constexpr DWORD kWriteTimeoutMs = 1000;

Device* Find(HidHandle h) {
  if (h < 0 || h >= kMaxDevices) return nullptr;
  return devices[h].file != nullptr ? &devices[h] : nullptr;
}

// A remote that is there but cannot be opened (held by another program,
// access denied) would otherwise read as "not found": the note names it and
// the reason, the first one when there are several.
void NoteWhyNotOpened(const char* path, uint16_t vendor_id, uint16_t product_id,
                      DWORD error) {
  if (note[0] != '\0') return;
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
  snprintf(note, sizeof note,
           "zolmek: the remote %04X:%04X at %s cannot be opened: %s (error "
           "%lu; see \"Permissions\" in zolmek's README)",
           vendor_id, product_id, path, end > 0 ? reason : "unknown error",
           static_cast<unsigned long>(error));
}

// Whether the device behind `probe` has these ids (0: any). The handle needs
// no access rights, so it opens even devices the system holds exclusively
// (keyboards, mice).
bool HasIds(HANDLE probe, uint16_t vendor_id, uint16_t product_id) {
  if (probe == INVALID_HANDLE_VALUE) return false;
  HIDD_ATTRIBUTES attributes = {};
  attributes.Size = sizeof attributes;
  const bool match = HidD_GetAttributes(probe, &attributes) &&
                     (vendor_id == 0 || attributes.VendorID == vendor_id) &&
                     (product_id == 0 || attributes.ProductID == product_id);
  CloseHandle(probe);
  return match;
}

HANDLE OpenForIds(const char* path) {
  return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

// Opens the device at `path` when its ids match. Returns INVALID_HANDLE_VALUE
// otherwise.
HANDLE OpenIfMatching(const char* path, uint16_t vendor_id,
                      uint16_t product_id) {
  if (!HasIds(OpenForIds(path), vendor_id, product_id)) {
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    NoteWhyNotOpened(path, vendor_id, product_id, GetLastError());
  }
  return file;
}

// Calls visit(path) for each present HID interface until it returns true.
template <typename Visit>
void ForEachHidPath(Visit visit) {
  GUID hid_guid;
  HidD_GetHidGuid(&hid_guid);
  HDEVINFO set = SetupDiGetClassDevsA(&hid_guid, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return;
  SP_DEVICE_INTERFACE_DATA interface_data = {};
  interface_data.cbSize = sizeof interface_data;
  // A device path is well under this; one that is not is skipped.
  alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_A) char detail_bytes[1024];
  auto* detail =
      reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail_bytes);
  for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid_guid,
                                                    index, &interface_data);
       ++index) {
    detail->cbSize = sizeof *detail;
    if (SetupDiGetDeviceInterfaceDetailA(set, &interface_data, detail,
                                         sizeof detail_bytes, nullptr,
                                         nullptr) &&
        visit(detail->DevicePath)) {
      break;
    }
  }
  SetupDiDestroyDeviceInfoList(set);
}

// Opens the first HID device with these ids; its path goes to `path`.
HANDLE OpenFirstMatching(uint16_t vendor_id, uint16_t product_id,
                         char path[ZOLMEK_HID_TEXT_SIZE]) {
  HANDLE file = INVALID_HANDLE_VALUE;
  ForEachHidPath([&](const char* candidate) {
    file = OpenIfMatching(candidate, vendor_id, product_id);
    if (file == INVALID_HANDLE_VALUE) return false;
    snprintf(path, ZOLMEK_HID_TEXT_SIZE, "%s", candidate);
    return true;
  });
  return file;
}

bool DevicePresent(uint16_t vendor_id, uint16_t product_id) {
  bool present = false;
  ForEachHidPath([&](const char* path) {
    present = HasIds(OpenForIds(path), vendor_id, product_id);
    return present;
  });
  return present;
}

// --- Waiting for a device ---------------------------------------------------

using RegisterNotification = CONFIGRET(WINAPI*)(PCM_NOTIFY_FILTER, PVOID,
                                                PCM_NOTIFY_CALLBACK,
                                                PHCMNOTIFICATION);

constexpr int kQueuedArrivals = 16;
constexpr size_t kPathChars = 512;

struct Watch {
  std::mutex lock;  // one waiter at a time
  WaitState state;
  HANDLE arrived = nullptr;  // set by the callback; nullptr: no notification
  // New interfaces the callback saw and the waiter has not looked at yet.
  std::mutex queue_lock;
  wchar_t queued[kQueuedArrivals][kPathChars];
  int queued_count = 0;
  bool overflowed = false;  // more came, or a longer path: look at all
};
Watch watch;

// Runs on a thread of the system's: it only notes the path. Opening the
// device to read its ids is left to the waiter.
DWORD CALLBACK OnInterfaceArrival(HCMNOTIFICATION, PVOID,
                                  CM_NOTIFY_ACTION action,
                                  PCM_NOTIFY_EVENT_DATA data, DWORD) {
  if (action != CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL) return ERROR_SUCCESS;
  {
    std::lock_guard<std::mutex> guard(watch.queue_lock);
    const wchar_t* link = data->u.DeviceInterface.SymbolicLink;
    if (watch.queued_count < kQueuedArrivals && wcslen(link) < kPathChars) {
      wcscpy(watch.queued[watch.queued_count++], link);
    } else {
      watch.overflowed = true;
    }
  }
  SetEvent(watch.arrived);
  return ERROR_SUCCESS;
}

// The registration lasts as long as the process: the DLL is never unloaded
// before it ends.
bool StartWatch() {
  const HMODULE cfgmgr =
      LoadLibraryExA("cfgmgr32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (cfgmgr == nullptr) return false;
  // Through void (*)(): GetProcAddress's type is not the function's.
  const auto register_notification =
      reinterpret_cast<RegisterNotification>(reinterpret_cast<void (*)()>(
          GetProcAddress(cfgmgr, "CM_Register_Notification")));
  if (register_notification == nullptr) return false;
  watch.arrived = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (watch.arrived == nullptr) return false;
  CM_NOTIFY_FILTER filter = {};
  filter.cbSize = sizeof filter;
  filter.FilterType = CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE;
  HidD_GetHidGuid(&filter.u.DeviceInterface.ClassGuid);
  HCMNOTIFICATION registration = nullptr;
  if (register_notification(&filter, nullptr, OnInterfaceArrival,
                            &registration) != CR_SUCCESS) {
    CloseHandle(watch.arrived);
    watch.arrived = nullptr;
  }
  return watch.arrived != nullptr;
}

// True when an interface noted since the last call has these ids.
bool TakeNotedArrivals(uint16_t vendor_id, uint16_t product_id) {
  static wchar_t taken[kQueuedArrivals][kPathChars];  // under watch.lock
  int count = 0;
  bool arrived = false;
  {
    std::lock_guard<std::mutex> guard(watch.queue_lock);
    count = watch.queued_count;
    memcpy(taken, watch.queued, sizeof taken);
    arrived = watch.overflowed;
    watch.queued_count = 0;
    watch.overflowed = false;
  }
  for (int i = 0; i < count && !arrived; ++i) {
    arrived =
        HasIds(CreateFileW(taken[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr),
               vendor_id, product_id);
  }
  return arrived;
}

// The platform's part of WaitByRules.
struct NotificationWatch {
  uint16_t vendor_id, product_id;
  bool Start() { return StartWatch(); }
  bool Present() { return DevicePresent(vendor_id, product_id); }
  bool TakeArrivals() { return TakeNotedArrivals(vendor_id, product_id); }
  int Sleep(int64_t until_ms) {
    const int64_t now = NowMs();
    const DWORD wait = until_ms == kNoDeadline ? INFINITE
                       : until_ms <= now       ? 0
                                         : static_cast<DWORD>(until_ms - now);
    if (watch.arrived == nullptr) {
      ::Sleep(wait);
      return 0;
    }
    return WaitForSingleObject(watch.arrived, wait) == WAIT_OBJECT_0 ? 1 : 0;
  }
  int64_t NowMs() { return static_cast<int64_t>(GetTickCount64()); }
};

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

  note[0] = '\0';
  Device& device = devices[slot];
  const HANDLE file = OpenFirstMatching(vendor_id, product_id, device.path);
  if (file == INVALID_HANDLE_VALUE) return -1;
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

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL GetHidNote(char* buffer,
                                                     int32_t size) {
  std::lock_guard<std::mutex> guard(table_lock);
  return CopyOut(note, buffer, size);
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL GetHidDevicePath(HidHandle h,
                                                           char* buffer,
                                                           int32_t size) {
  std::lock_guard<std::mutex> guard(table_lock);
  Device* device = Find(h);
  return device != nullptr ? CopyOut(device->path, buffer, size) : -1;
}

ZOLMEK_HID_EXPORT int32_t ZOLMEK_HID_CALL WaitForHidDevice(uint16_t vendor_id,
                                                           uint16_t product_id,
                                                           int32_t timeout_ms) {
  std::lock_guard<std::mutex> guard(watch.lock);
  NotificationWatch platform{vendor_id, product_id};
  return WaitByRules(watch.state, platform, timeout_ms);
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
