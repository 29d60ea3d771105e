// zolmek-wine-run: the unchanged zolmek.exe with the real zolmek-hid.dll
// beside it, started from a console under wine as a user starts it. The
// system-tier VM test runs it against zolmek-remote, which wine's HID stack
// reaches as hardware (uhid, hidraw, winebus.sys). It writes what happened
// into OUT_DIR: stdout, stderr, status (the exit status) and keys (each
// injected key as "VK down" or "VK up", VK in hex).
//
//   zolmek-wine-run OUT_DIR [TEXT]
//
// With TEXT, Escape is typed into the console once stdout holds TEXT: wine's
// terminal console turns a typed ESC byte into a key without a character,
// which _getch never reports, so the key goes into the console's input
// buffer as Windows itself would put it there.
#include <fstream>
#include <sstream>

#include "tests/binary_harness_win32.h"

static void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return 2;
  const std::string out = argv[1];
  ZolmekProcess zolmek(
      {.with_sound_file = true, .transport_dll = ZOLMEK_TRANSPORT_DLL});
  if (argc == 3 && zolmek.WaitForOutput(argv[2], 120000)) {
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
