// The console on Windows: _kbhit/_getch for keys, and a console control
// handler that turns Ctrl+C, Ctrl+Break and closing the console window into
// an orderly end (the remote is quieted and closed as after Escape).
#include <conio.h>
#include <windows.h>

#include <atomic>

#include "base/console.h"
#include "base/stop.h"

// Windows runs the control handler on a thread of its own. For a close,
// logoff or shutdown event the process is ended as soon as the handler
// returns (and by force after about five seconds), so the handler holds on
// until the main flow has finished quieting the remote.
static HANDLE run_finished = nullptr;
constexpr int kCtrlCKey = 0x03;
constexpr DWORD kCloseGraceMs = 4000;

// When the first Ctrl+C or Ctrl+Break came, in GetTickCount64 milliseconds.
static std::atomic<unsigned long long> first_break_at{0};
// One key press can reach the handler more than once (seen under wine), so a
// second one only counts as "asked twice" once the orderly end has had this
// long.
constexpr unsigned long long kStuckAfterMs = 1000;

static BOOL WINAPI HandleConsoleEvent(DWORD event) {
  stop_requested = true;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: {
      const unsigned long long now = GetTickCount64();
      unsigned long long first = 0;
      if (first_break_at.compare_exchange_strong(first, now)) return TRUE;
      // Asked twice: the orderly end is stuck somewhere (a message box the
      // user does not answer, say). Let the default handler end the process.
      return now - first >= kStuckAfterMs ? FALSE : TRUE;
    }
    default:
      if (run_finished != nullptr) {
        WaitForSingleObject(run_finished, kCloseGraceMs);
      }
      return FALSE;
  }
}

void OpenConsole() {
  run_finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // A process can inherit "ignore Ctrl+C" from its parent (cmd's
  // "start /b", for one); Ctrl+C here only asks for the orderly end, so it
  // is taken back.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(HandleConsoleEvent, TRUE);
}

// No SIGHUP here: a service reloads when it is started again.
void OpenServiceSignals() { OpenConsole(); }

void RestoreConsole() {
  if (run_finished != nullptr) SetEvent(run_finished);
}

int PollConsoleKey() {
  if (!_kbhit()) return kNoKey;
  const int key = _getch();
  // Arrows, function keys and the like come as two codes: 0 or 0xE0, then
  // the key's own. Both are taken here, so the second ("H" for the up
  // arrow, "K" for left...) is not read as a key of its own next pass.
  if (key == 0x00 || key == 0xE0) {
    _getch();
    return kOtherKey;
  }
  // Ctrl+C normally raises the console's control event instead of arriving
  // as a key; when the console hands it over as a character (it does while
  // _getch has it in raw mode, and wine does for typed-in input) it still
  // means the same.
  if (key == kCtrlCKey) {
    stop_requested = true;
    return kOtherKey;
  }
  return key;
}
