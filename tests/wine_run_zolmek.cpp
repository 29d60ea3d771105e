// zolmek-wine-run: the unchanged zolmek.exe with the real zolmek-hid.dll
// beside it, started from a console under wine as a user starts it. The
// system-tier VM test runs it against zolmek-remote, which wine's HID stack
// reaches as hardware (uhid, hidraw, winebus.sys). It writes what happened
// into OUT_DIR: stdout, stderr, status (the exit status) and keys (each
// injected key as "VK down" or "VK up", VK in hex).
//
//   zolmek-wine-run OUT_DIR REMOTES [TEXT]
//   zolmek-wine-run OUT_DIR REMOTES --service KEYS
//
// zolmek starts once wine lists REMOTES devices with the remote's ids (0 or
// 1): winebus.sys takes a new hidraw node up, and drops a removed one, a
// moment after the kernel, and a run started before that would find the
// previous state of things.
//
// With TEXT, Escape is typed into the console once stdout holds TEXT: wine's
// terminal console turns a typed ESC byte into a key without a character,
// which _getch never reports, so the key goes into the console's input
// buffer as Windows itself would put it there.
//
// With --service, zolmek.exe runs as the service (without its key sound),
// and Ctrl+C is typed into the console once it has typed KEYS keys, each
// down and up (or after 180 s).
#include <windows.h>
// (windows.h first: the others build on its types)
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "protocol/wii_remote.h"
#include "tests/binary_harness_win32.h"

// The HID devices wine lists with the remote's ids.
static int RemotesListed() {
  GUID hid;
  HidD_GetHidGuid(&hid);
  HDEVINFO set = SetupDiGetClassDevsA(&hid, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  SP_DEVICE_INTERFACE_DATA interface_data = {};
  interface_data.cbSize = sizeof interface_data;
  alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_A) char bytes[1024];
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(bytes);
  for (DWORD i = 0;
       SetupDiEnumDeviceInterfaces(set, nullptr, &hid, i, &interface_data);
       ++i) {
    detail->cbSize = sizeof *detail;
    if (!SetupDiGetDeviceInterfaceDetailA(set, &interface_data, detail,
                                          sizeof bytes, nullptr, nullptr)) {
      continue;
    }
    HANDLE device =
        CreateFileA(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) continue;
    HIDD_ATTRIBUTES attributes = {};
    attributes.Size = sizeof attributes;
    count += HidD_GetAttributes(device, &attributes) &&
             attributes.VendorID == kRemoteVendorId &&
             attributes.ProductID == kRemoteProductId;
    CloseHandle(device);
  }
  SetupDiDestroyDeviceInfoList(set);
  return count;
}

static void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

int main(int argc, char** argv) {
  const bool service = argc == 5 && std::string(argv[3]) == "--service";
  if (argc < 3 || argc > 5 || (argc == 5 && !service)) return 2;
  const std::string out = argv[1];
  const int remotes = std::atoi(argv[2]);
  // At most 90 s, then zolmek runs with what wine lists: it says the rest.
  const ULONGLONG start = GetTickCount64();
  int listed = RemotesListed();
  while (listed != remotes && GetTickCount64() - start < 90000) {
    Sleep(10);
    listed = RemotesListed();
  }
  WriteFile(out + "\\listed",
            "wine listed " + std::to_string(listed) + " remotes after " +
                std::to_string(GetTickCount64() - start) + " ms\n");
  std::vector<std::string> args;
  if (service) args = {"--service", "--no-sound"};
  ZolmekProcess zolmek({.args = args,
                        .with_sound_file = !service,
                        .transport_dll = ZOLMEK_TRANSPORT_DLL});
  if (service) {
    const size_t events = 2 * static_cast<size_t>(std::atoi(argv[4]));
    // Keys() gives the hook 100 ms each time: no spin.
    while (zolmek.Keys().size() < events && zolmek.Running() &&
           GetTickCount64() - start < 180000) {
    }
    zolmek.Type({kCtrlC});
  } else if (argc == 4 && zolmek.WaitForOutput(argv[3], 120000)) {
    zolmek.Type({kEscape});
  }
  const int status = zolmek.Wait(180000);
  std::ostringstream keys;
  for (const InjectedKey& key : zolmek.Keys()) {
    keys << std::hex << std::uppercase << key.virtual_key
         << (key.down ? " down\n" : " up\n");
  }
  WriteFile(out + "\\stdout", zolmek.Output());
  WriteFile(out + "\\stderr", zolmek.Errors());
  WriteFile(out + "\\status", std::to_string(status) + "\n");
  WriteFile(out + "\\keys", keys.str());
  return 0;
}
