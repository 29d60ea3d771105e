// The real key sound player, on SDL's dummy audio driver.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "host/host_output.h"

// A key while the previous key's sound still plays starts the sound over:
// the queue holds one sound, not the rest of the old one and a new one.
TEST(KeySoundPlayerTest, ANewKeyRestartsTheSoundInsteadOfQueueingIt) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "zolmek-sound-player-test";
  fs::create_directories(dir);
  fs::copy_file(ZOLMEK_KEY_SOUND, dir / "test1.wav",
                fs::copy_options::overwrite_existing);
  const fs::path previous = fs::current_path();
  fs::current_path(dir);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  LoadKeySound();
  fs::current_path(previous);
  const Uint32 one_sound =
      static_cast<Uint32>(fs::file_size(dir / "test1.wav") - 44);  // samples

  PlayKeySound();
  SDL_AudioDeviceID player = 0;
  for (SDL_AudioDeviceID id = 1; id < 16 && player == 0; ++id) {
    if (SDL_GetQueuedAudioSize(id) > 0) player = id;
  }
  ASSERT_NE(player, 0u) << "no sound queued";
  PlayKeySound();
  EXPECT_LE(SDL_GetQueuedAudioSize(player), one_sound);
  CloseKeySoundPlayer();
  fs::remove_all(dir);
}

// An image below 4000 Hz is refused: its device's buffers would last
// seconds, and closing the device at the end of the run waits for them.
TEST(KeySoundPlayerTest, ImageBelowTheLowestRateIsRefused) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::string wav = "RIFF....WAVEfmt ";
  auto put = [&wav](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) wav += static_cast<char>(value >> 8 * i);
  };
  put(16, 4);  // fmt chunk: PCM, mono, 1 Hz, 2 bytes a frame, 16 bits
  put(1, 2);
  put(1, 2);
  put(1, 4);
  put(2, 4);
  put(2, 2);
  put(16, 2);
  wav += "data";
  put(16, 4);
  wav += std::string(16, '\x40');
  wav.replace(4, 4, std::string{static_cast<char>(wav.size() - 8), 0, 0, 0});
  PrepareKeySoundPlayer(reinterpret_cast<const uint8_t*>(wav.data()),
                        wav.size());
  PlayKeySound();
  for (SDL_AudioDeviceID id = 1; id < 16; ++id) {
    EXPECT_EQ(SDL_GetQueuedAudioSize(id), 0u) << "device " << id;
  }
  CloseKeySoundPlayer();
}
