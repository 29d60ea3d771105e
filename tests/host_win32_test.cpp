// Reading the key sound file: what only Windows names can do.
#include "host/host_output.h"
#include "tests/sound_file_fixture.h"

// Device names open as files anywhere on Windows; none of them is a sound.
// CON would wait for the console; NUL would read as empty.
TEST(SoundFileDeviceTest, DeviceNamesGiveNoSoundWithoutBlocking) {
  uint8_t buffer[16] = {};
  for (const char* name : {"NUL", "CON", "nul.wav"}) {
    EXPECT_EQ(ReadKeySoundFile(name, buffer, sizeof buffer), 0u) << name;
  }
}
