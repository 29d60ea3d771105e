#include "host/key_input_win32.h"

UINT FillChordInputs(const KeyChord& chord, INPUT records[kMaxChordSteps]) {
  KeyStep steps[kMaxChordSteps];
  const int count = ChordSteps(chord, steps);
  for (int i = 0; i < count; ++i) {
    const KeyName& key = *steps[i].key;
    INPUT& record = records[i];
    record = {};
    record.type = INPUT_KEYBOARD;
    record.ki.wVk = key.virtual_key;
    // Without the E0 prefix: the extended flag stands for it.
    record.ki.wScan =
        static_cast<WORD>(MapVirtualKeyA(key.virtual_key, MAPVK_VK_TO_VSC));
    record.ki.dwFlags = (key.extended ? KEYEVENTF_EXTENDEDKEY : 0) |
                        (steps[i].down ? 0 : KEYEVENTF_KEYUP);
  }
  return static_cast<UINT>(count);
}
