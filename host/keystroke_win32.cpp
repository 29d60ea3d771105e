// Keystrokes through SendInput: one key-down record, then the same record
// with KEYEVENTF_KEYUP, no delay between them. The scan code is looked up
// once, before the key-down, and used for both. No extended-key flag, not
// even for the numeric keypad's divide or Delete.
#include <windows.h>

#include "host/host_output.h"

// SendInput needs no device of its own.
void OpenKeystrokeDevice() {}
void CloseKeystrokeDevice() {}

void SendVirtualKey(uint16_t code) {
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
