// The Run key of the current user: Windows starts each of its values'
// command lines at logon.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/autostart.h"
#include "base/executable.h"

static const char kRunKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char kValueName[] = "zolmek";

int SetAutostart(bool on) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    std::fprintf(stderr, "zolmek: cannot open the Run key\n");
    return 1;
  }
  LONG result = ERROR_SUCCESS;
  if (on) {
    const std::string program = ExecutableFolder() + "\\zolmekw.exe";
    const std::string command = "\"" + program + "\" --service";
    result = RegSetValueExA(key, kValueName, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>(command.size() + 1));
    if (result == ERROR_SUCCESS) {
      std::printf("zolmek starts at logon: %s\n", command.c_str());
    }
  } else {
    result = RegDeleteValueA(key, kValueName);
    if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
    if (result == ERROR_SUCCESS)
      std::printf("zolmek no longer starts at logon\n");
  }
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) {
    std::fprintf(stderr, "zolmek: cannot change the Run key (error %ld)\n",
                 static_cast<long>(result));
    return 1;
  }
  return 0;
}
