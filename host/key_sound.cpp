#include "host/host_output.h"

uint8_t SoundBuffer[kSoundBufferSize];
size_t sound_size = 0;

void LoadKeySound() {
  sound_size = ReadKeySoundFile(kKeySoundFile, SoundBuffer, kSoundBufferSize);
  PrepareKeySoundPlayer(SoundBuffer, sound_size);
}
