// The console on Windows: _kbhit/_getch for keys, and a console control
// handler that turns Ctrl+C, Ctrl+Break and closing the console window into
// an orderly end (the remote is quieted and closed as after Escape).
#include <conio.h>
#include <windows.h>

#include <atomic>

#include "app/console.h"
#include "app/quit.h"

// Windows runs the control handler on a thread of its own. For a close,
// logoff or shutdown event the process is ended as soon as the handler
// returns (and by force after about five seconds), so the handler holds on
// until the main flow has finished quieting the remote.
static HANDLE run_finished = nullptr;
constexpr DWORD kCloseGraceMs = 4000;

static BOOL WINAPI HandleConsoleEvent(DWORD event) {
  const bool asked_before = stop_requested.exchange(true);
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      // Asked twice: the orderly end is stuck somewhere (a message box the
      // user does not answer, say). Let the default handler end the process.
      return asked_before ? FALSE : TRUE;
    default:
      if (run_finished != nullptr) {
        WaitForSingleObject(run_finished, kCloseGraceMs);
      }
      return FALSE;
  }
}

void OpenConsole() {
  run_finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(HandleConsoleEvent, TRUE);
}

void RestoreConsole() {
  if (run_finished != nullptr) SetEvent(run_finished);
}

int PollConsoleKey() {
  if (!_kbhit()) return kNoKey;
  const int key = _getch();
  // Arrows, function keys and the like come as two codes: 0 or 0xE0, then
  // the key's own. Take both, so the second is never mistaken for a key of
  // its own (0x1B never follows, but other codes would reach the scan).
  if (key == 0x00 || key == 0xE0) {
    _getch();
    return kOtherKey;
  }
  return key;
}
