// The key sound through PlaySoundA, straight from the in-memory wave image:
// SND_MEMORY | SND_ASYNC starts it and returns at once, and each call cuts
// off a sound still playing, so nothing needs preparing or closing.
#include <windows.h>
// (windows.h first: mmsystem.h builds on its types)
#include <mmsystem.h>

#include "host/host_output.h"

void PrepareKeySoundPlayer(const uint8_t*, size_t) {}

void StartKeySound() {
  PlaySoundA(reinterpret_cast<LPCSTR>(SoundBuffer), nullptr,
             SND_MEMORY | SND_ASYNC);
}

void CloseKeySoundPlayer() {
  // A sound still playing reads SoundBuffer; stop it before the process
  // (and the buffer) goes away.
  PlaySoundA(nullptr, nullptr, 0);
}
