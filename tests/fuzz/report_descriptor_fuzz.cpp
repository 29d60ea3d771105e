// libFuzzer target: the report descriptor a device hands the transport. The
// real Linux transport opens a device whose hidraw node gives the fuzzer's
// bytes as its report descriptor (the stand-in of test_support/hidapi_fake.h),
// learns the output report lengths from it, and is then asked to send every
// report id.
//
// Besides the sanitizers' checks (the report buffers are exactly
// ZOLMEK_HID_BUFFER_SIZE bytes on the heap): what a write sends is the
// length the parsed descriptor declares for its id, or the remote's own
// lengths when the descriptor is unusable; never more than the buffer.
#include <linux/hidraw.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "protocol/wii_remote.h"
#include "test_support/hidapi_fake.h"
#include "transport/report_descriptor.h"
#include "transport/zolmek_hid.h"

namespace {

[[noreturn]] void Fail(const char* what, int id) {
  std::fprintf(stderr, "invariant broken: %s (report 0x%02X)\n", what, id);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fake_hidapi::Reset();
  fake_hidapi::descriptor.assign(data, data + size);
  const HidHandle h = OpenHidHandle(kRemoteVendorId, kRemoteProductId);
  if (h < 0) Fail("the device did not open", 0);

  // What the transport should have decided.
  uint16_t parsed[256];
  const bool usable = size > 0 && size < HID_MAX_DESCRIPTOR_SIZE &&
                      ParseOutputReportLengths(data, size, parsed) > 0;
  for (int id = 0; id < 256; ++id) {
    const size_t declared =
        usable ? parsed[id]
               : RemoteOutputReportLength(static_cast<uint8_t>(id));
    std::vector<uint8_t> buffer(ZOLMEK_HID_BUFFER_SIZE, 0x5A);
    buffer[0] = static_cast<uint8_t>(id);
    uint32_t count = 0;
    fake_hidapi::last_write = 0;
    const int32_t sent = WriteReport(h, buffer.data(), &count);
    if (fake_hidapi::last_write > ZOLMEK_HID_BUFFER_SIZE) {
      Fail("write beyond the buffer", id);
    }
    if (declared == 0 || declared > ZOLMEK_HID_BUFFER_SIZE) {
      if (sent != -1) Fail("a report sent that should be refused", id);
    } else if (sent < 0 || static_cast<size_t>(sent) != declared ||
               count != declared || fake_hidapi::last_write != declared) {
      Fail("a report sent at a length not declared", id);
    }
  }
  if (CloseHidHandle(h) != 0 || fake_hidapi::device_open) {
    Fail("the device stayed open", 0);
  }
  return 0;
}
