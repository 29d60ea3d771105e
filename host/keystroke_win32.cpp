// Keystrokes through SendInput.
#include <windows.h>

#include "host/host_output.h"
#include "host/key_input_win32.h"

// SendInput needs no device of its own.
const char* OpenKeystrokeDevice() { return nullptr; }
void CloseKeystrokeDevice() {}

// A character's key: one key-down record, then the same record with
// KEYEVENTF_KEYUP, in two calls with no delay between them. The scan code is
// looked up once, before the key-down, and used for both. No extended-key
// flag, not even for the numeric keypad's divide or Delete.
static void SendVirtualKey(uint16_t code) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = code;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(code, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = 0;
  input.ki.time = 0;
  input.ki.dwExtraInfo = 0;
  SendInput(1, &input, sizeof input);
  input.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof input);
}

void SendBuiltInKey(const KeyName& key) { SendVirtualKey(key.virtual_key); }

// A map's key: all records in one SendInput call, which Windows inserts into
// the input stream as one run, with no other keyboard or mouse input between.
void SendKeyChord(const KeyChord& chord) {
  INPUT records[kMaxChordSteps];
  const UINT count = FillChordInputs(chord, records);
  SendInput(count, records, sizeof records[0]);
}
