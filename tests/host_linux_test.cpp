// Reading the key sound file: what only a POSIX file system can hold.
#include <sys/stat.h>

#include "host/host_output.h"
#include "tests/sound_file_fixture.h"

TEST_F(SoundFileTest, FifoGivesNoSoundWithoutBlocking) {
  uint8_t buffer[16];
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);  // no writer: open would block
  EXPECT_EQ(ReadKeySoundFile(path_.c_str(), buffer, sizeof buffer), 0u);
}
