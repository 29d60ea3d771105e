// Reading the key sound file: what only a POSIX file system can hold. The
// key names' Linux codes. Finding and reading a key map.
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>

#include "host/host_output.h"
#include "host/key_names.h"
#include "host/keymap.h"
#include "tests/sound_file_fixture.h"

TEST_F(SoundFileTest, FifoGivesNoSoundOrMapWithoutBlocking) {
  uint8_t buffer[16];
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);  // no writer: open would block
  EXPECT_EQ(ReadKeySoundFile(path_.c_str(), buffer, sizeof buffer), 0u);
  std::string text, reason;  // nor a key map, which says why
  EXPECT_EQ(ReadKeymapFile(path_.c_str(), text, reason),
            KeymapFileRead::kFailed);
  EXPECT_EQ(reason, "not a regular file");
}

// The name table carries evdev codes as numbers, since the Windows build has
// no linux/input-event-codes.h; here each is read back from that header
// under its KEY_ name.
TEST(KeyNamesTest, EvdevCodesAreTheKernelHeadersOwn) {
  std::ifstream header("/usr/include/linux/input-event-codes.h");
  std::map<std::string, long> codes;
  char name[64];
  long code;
  for (std::string line; std::getline(header, line);) {
    if (std::sscanf(line.c_str(), "#define KEY_%63s %li", name, &code) != 2) {
      continue;
    }
    for (char* c = name; *c != '\0'; ++c) *c = std::tolower(*c);
    codes[name] = code;
  }
  for (const KeyName& key : kKeyNames) {
    ASSERT_TRUE(codes.count(key.name)) << key.name;
    EXPECT_EQ(codes[key.name], key.evdev_key) << key.name;
  }
}

// XDG_CONFIG_HOME first, ~/.config when it is unset or relative, /etc last.
TEST(KeymapPathsTest, UserConfigThenSystem) {
  const char *xdg = "x", *home = "/h";
  const auto env = [&](const char* name) {
    return std::string(name) == "HOME" ? home : xdg;
  };
  EXPECT_EQ(DefaultKeymapPaths(env),
            (std::vector<std::string>{"/h/.config/zolmek/keymap.conf",
                                      "/etc/zolmek/keymap.conf"}));
  xdg = "/x";
  EXPECT_EQ(DefaultKeymapPaths(env)[0], "/x/zolmek/keymap.conf");
}
