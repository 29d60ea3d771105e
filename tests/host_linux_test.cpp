// Reading the key sound file: what only a POSIX file system can hold. The
// key names' Linux codes.
#include <sys/stat.h>

#include <cctype>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "host/host_output.h"
#include "host/key_names.h"
#include "tests/sound_file_fixture.h"

TEST_F(SoundFileTest, FifoGivesNoSoundWithoutBlocking) {
  uint8_t buffer[16];
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);  // no writer: open would block
  EXPECT_EQ(ReadKeySoundFile(path_.c_str(), buffer, sizeof buffer), 0u);
}

// The name table carries evdev codes as numbers, since the Windows build has
// no linux/input-event-codes.h; here each is read back from that header
// under its KEY_ name, and no code is given to two names.
TEST(KeyNamesTest, EvdevCodesAreTheKernelHeadersOwn) {
  std::ifstream header("/usr/include/linux/input-event-codes.h");
  ASSERT_TRUE(header) << "linux/input-event-codes.h not found";
  const std::regex define(
      R"(^#define\s+KEY_(\w+)\s+(0x[0-9a-fA-F]+|[0-9]+)\b)");
  std::map<std::string, long> codes;
  for (std::string line; std::getline(header, line);) {
    std::smatch match;
    if (!std::regex_search(line, match, define)) continue;
    std::string name = match[1];
    for (char& c : name) c = static_cast<char>(std::tolower(c));
    codes[name] = std::stol(match[2], nullptr, 0);
  }
  std::set<unsigned> seen;
  for (const KeyName& key : kKeyNames) {
    ASSERT_TRUE(codes.count(key.name)) << key.name;
    EXPECT_EQ(codes[key.name], key.evdev_key) << key.name;
    EXPECT_TRUE(seen.insert(key.evdev_key).second) << key.name;
  }
}
