// Key mapping, reading the key sound file, and the millisecond wait.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/spin_margin.h"
#include "base/wait.h"
#include "host/host_output.h"
#include "tests/sound_file_fixture.h"

TEST(VirtualKeyTest, DigitsUseMainKeysAndTheRestTheNumericPad) {
  const std::pair<char, uint16_t> cases[] = {
      {'0', 0x30}, {'5', 0x35}, {'7', 0x37}, {'9', 0x39}, {'.', 0x6E},
      {'+', 0x6B}, {'-', 0x6D}, {'*', 0x6A}, {'/', 0x6F}, {'E', 0x0D},
      {'N', 0x2E}, {' ', 0},    {0, 0},      {'e', 0},    {'A', 0},
  };
  for (const auto& [character, code] : cases) {
    EXPECT_EQ(VirtualKeyForChar(character), code) << "'" << character << "'";
  }
}

TEST_F(SoundFileTest, FileIsReadWholeAndUnchanged) {
  std::ofstream(path_, std::ios::binary) << std::string("RIFF\0\x01\xFFxyz", 9);
  uint8_t buffer[16] = {};
  ASSERT_EQ(ReadKeySoundFile(path_.c_str(), buffer, sizeof buffer), 9u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 9),
            std::string("RIFF\0\x01\xFFxyz", 9));
  EXPECT_EQ(buffer[9], 0);
}

TEST_F(SoundFileTest, FileLargerThanTheBufferIsRefusedUntouched) {
  uint8_t buffer[20];
  std::fill(buffer, buffer + 20, 0xA5);
  Write(17, 'x');
  EXPECT_EQ(ReadKeySoundFile(path_.c_str(), buffer, 16), 0u);
  EXPECT_EQ(buffer[0], 0xA5);
  Write(16, 'y');  // exactly full is fine
  EXPECT_EQ(ReadKeySoundFile(path_.c_str(), buffer, 16), 16u);
  EXPECT_EQ(buffer[16], 0xA5);
}

TEST_F(SoundFileTest, RealBufferTakesTenMebibytesAndNoMore) {
  Write(kSoundBufferSize + 1, 'z');
  EXPECT_EQ(ReadKeySoundFile(path_.c_str(), SoundBuffer, kSoundBufferSize), 0u);
  EXPECT_EQ(SoundBuffer[0], 0);
  Write(kSoundBufferSize, 'z');
  EXPECT_EQ(ReadKeySoundFile(path_.c_str(), SoundBuffer, kSoundBufferSize),
            kSoundBufferSize);
  EXPECT_EQ(SoundBuffer[kSoundBufferSize - 1], 'z');
  std::fill(SoundBuffer, SoundBuffer + kSoundBufferSize, 0);
}

TEST_F(SoundFileTest, MissingFileOrDirectoryGivesNoSound) {
  uint8_t buffer[16];
  EXPECT_EQ(ReadKeySoundFile(path_.c_str(), buffer, sizeof buffer), 0u);
  std::filesystem::create_directory(path_);
  EXPECT_EQ(ReadKeySoundFile(path_.c_str(), buffer, sizeof buffer), 0u);
}

TEST(WaitMillisecondsTest, AlwaysWaitsStrictlyLonger) {
  using Clock = std::chrono::steady_clock;
  for (int ms : {0, 1, 3}) {
    const auto start = Clock::now();
    WaitMilliseconds(ms);
    EXPECT_GT(Clock::now() - start, std::chrono::milliseconds(ms)) << ms;
  }
}

// The spin margin follows the lateness all but the latest fifth of the
// recent wake-ups stayed within, within its bounds.
TEST(SpinMarginTest, FollowsAllButTheLatestFifth) {
  struct Case {
    int late_count;  // of kSpinHistory wake-ups, this many were late_ns
    int64_t late_ns, usual_ns, margin;
  } cases[] = {
      {0, 0, 60'000, 60'000 + kSpinCushionNs},         // steady
      {12, 400'000, 60'000, 60'000 + kSpinCushionNs},  // rare late: ignored
      {13, 90'000, 60'000, 90'000 + kSpinCushionNs},   // more: followed
      {0, 0, -3'000, kSpinCushionNs},                  // early: no less than 0
      {64, 50'000'000, 0, kMaxSpinMarginNs},           // a stall: capped
  };
  for (const Case& c : cases) {
    int64_t late[kSpinHistory];
    for (int i = 0; i < kSpinHistory; ++i) {
      // The late ones spread through the history, not only at its end.
      late[i] = (i * 5) % kSpinHistory < c.late_count ? c.late_ns : c.usual_ns;
    }
    EXPECT_EQ(SpinMarginForNs(late, kSpinHistory), c.margin)
        << c.late_count << " " << c.late_ns;
  }
}
