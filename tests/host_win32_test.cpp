// Reading the key sound file and a key map: what only Windows names can do.
// SendInput's records for a map's keys.
#include <windows.h>

#include "host/host_output.h"
#include "host/key_input_win32.h"
#include "host/keymap.h"
#include "tests/sound_file_fixture.h"

// Device names open as files anywhere on Windows; none of them is a sound.
// CON would wait for the console; NUL would read as empty.
TEST(SoundFileDeviceTest, DeviceNamesGiveNoSoundWithoutBlocking) {
  uint8_t buffer[16] = {};
  for (const char* name : {"NUL", "CON", "nul.wav"}) {
    EXPECT_EQ(ReadKeySoundFile(name, buffer, sizeof buffer), 0u) << name;
    std::string text, reason;
    EXPECT_EQ(ReadKeymapFile(name, text, reason), KeymapFileRead::kFailed);
  }
}

// A map's key goes in one SendInput call: the modifiers around the key, and
// the extended-key flag on both of the key's records where the table asks
// for it (the pad's slash would otherwise type the main keyboard's slash).
TEST(ChordInputTest, OneRunOfRecordsWithTheirFlags) {
  INPUT records[kMaxChordSteps];
  ASSERT_EQ(
      FillChordInputs({&KeyNamed("kpslash"), kModifierCtrl | kModifierShift},
                      records),
      6u);
  const DWORD up = KEYEVENTF_KEYUP, extended = KEYEVENTF_EXTENDEDKEY;
  const std::pair<WORD, DWORD> expected[] = {
      {VK_LCONTROL, 0},           {VK_LSHIFT, 0},  {VK_DIVIDE, extended},
      {VK_DIVIDE, extended | up}, {VK_LSHIFT, up}, {VK_LCONTROL, up}};
  for (int i = 0; i < 6; ++i) {
    const KEYBDINPUT& ki = records[i].ki;
    EXPECT_EQ(records[i].type, static_cast<DWORD>(INPUT_KEYBOARD)) << i;
    EXPECT_EQ(std::make_pair(ki.wVk, ki.dwFlags), expected[i]) << i;
    EXPECT_EQ(ki.wScan, MapVirtualKeyA(ki.wVk, MAPVK_VK_TO_VSC)) << i;
    EXPECT_EQ(ki.time + ki.dwExtraInfo, 0u) << i;
  }
}

// In the main block of a PC keyboard a key's evdev code is its scan code,
// so the layout's scan code for each virtual key checks the table's pairs.
TEST(KeyNamesTest, VirtualKeysSitOnTheirEvdevScanCodes) {
  for (const KeyName& key : kKeyNames) {
    if (key.extended || key.evdev_key > 88) continue;
    EXPECT_EQ(MapVirtualKeyA(key.virtual_key, MAPVK_VK_TO_VSC), key.evdev_key)
        << key.name;
  }
}
