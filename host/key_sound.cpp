#include <cstring>

#include "host/host_output.h"

uint8_t SoundBuffer[kSoundBufferSize];
size_t sound_size = 0;

static const char* key_sound_file = kKeySoundFile;

void SetKeySoundFile(const char* path) { key_sound_file = path; }

void LoadKeySound() {
  if (key_sound_file == nullptr) return;
  sound_size = ReadKeySoundFile(key_sound_file, SoundBuffer, kSoundBufferSize);
  PrepareKeySoundPlayer(SoundBuffer, sound_size);
}

void ReloadKeySound() {
  CloseKeySoundPlayer();
  // A shorter file must not leave the end of the longer one behind it.
  std::memset(SoundBuffer, 0, sound_size);
  sound_size = 0;
  LoadKeySound();
}

void PlayKeySound() {
  if (key_sound_file != nullptr) StartKeySound();
}
