// Runs the built zolmek.exe, with the emulator's zolmek-hid.dll (or the
// real one) beside it, the way a user runs it from a console, and collects
// what it did: its output, the emulator's report log, and the keystrokes it
// injected (seen by a low-level keyboard hook). The tests themselves run
// under wine with a console on a pseudo-terminal; the program shares that
// console, and its keys are fed into the console's input buffer.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// One key as the console sees it: the virtual key, the character _getch
// returns for it (0 for none), and the control-key state.
struct ConsoleKey {
  WORD virtual_key;
  char character;
  DWORD control_state = 0;
};
extern const ConsoleKey kEscape;
// Typed into the console, it raises the console's Ctrl+C event.
extern const ConsoleKey kCtrlC;

// A key event the hook saw.
struct InjectedKey {
  bool down;
  DWORD virtual_key;
  DWORD scan_code;
  DWORD flags;  // LLKHF_*
};

class ZolmekProcess {
 public:
  struct Options {
    std::vector<std::string> args = {};
    std::map<std::string, std::string> files = {};  // written in the cwd
    std::string scenario = "";
    bool with_sound_file = false;  // the sample test1.wav in the cwd
    std::vector<ConsoleKey> keys_before_start = {};
    // The zolmek-hid.dll put beside the program; empty: the emulator's.
    std::string transport_dll = "";
  };

  explicit ZolmekProcess(const Options& options);
  ~ZolmekProcess();
  ZolmekProcess(const ZolmekProcess&) = delete;
  ZolmekProcess& operator=(const ZolmekProcess&) = delete;

  // Waits until stdout holds `text` (false after `timeout_ms`).
  bool WaitForOutput(const std::string& text, DWORD timeout_ms = 20000);
  // Each key as a key-down and a key-up record in the console input.
  void Type(const std::vector<ConsoleKey>& keys);
  // Whether the program is still running.
  bool Running() const;
  // Waits for the exit and returns the status (-1 when it had to be ended).
  int Wait(DWORD timeout_ms = 30000);

  std::string Output() const;                // stdout, "\r\n" back to "\n"
  std::string Errors() const;                // stderr, likewise
  std::vector<std::string> Reports() const;  // the emulator's log
  // Keys injected since this process was started.
  std::vector<InjectedKey> Keys() const;

 private:
  std::string dir_;
  PROCESS_INFORMATION process_ = {};
  DWORD status_ = 0;
  bool ended_ = false;
};

std::string ReadWholeFile(const std::string& path);
