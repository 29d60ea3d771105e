// The key sound through SDL2 audio. The image is decoded once at start and
// the device opened in the image's own format, so nothing is converted and
// a new key restarts the sound at once: clear the queue, queue, unpause.
//
// The device is asked for a short buffer. A key's sound starts in the next
// buffer the device takes, so the buffer's length is how late a click can
// be; SDL_LoadWAV's choice (4096 frames, 186 ms at 22 050 Hz) would be
// heard as a click after the key.
#include <SDL2/SDL.h>

#include "host/host_output.h"

static SDL_AudioDeviceID audio_device = 0;
static Uint8* samples = nullptr;
static Uint32 samples_size = 0;

// The power of two of frames that lasts at least 8 ms at `rate`: 256 at
// 22 050 Hz, 512 at 44 100 or 48 000 Hz (about 11 ms), short enough to be
// heard with the key and long enough for a busy machine to keep up.
static Uint16 ShortBufferFrames(int rate) {
  const int wanted = rate / 125;
  Uint16 frames = 64;
  while (frames < wanted && frames < 4096) {
    frames = static_cast<Uint16>(frames * 2);
  }
  return frames;
}

void PrepareKeySoundPlayer(const uint8_t* image, size_t size) {
  // SDL sets SIGINT/SIGTERM handlers of its own when its event subsystem
  // starts. The console takes those signals on a thread of its own, with
  // them blocked everywhere else, so such handlers would never run; the
  // hint keeps SDL off the program's signal handling all the same.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (size == 0 || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
  SDL_AudioSpec spec;
  SDL_RWops* stream = SDL_RWFromConstMem(image, static_cast<int>(size));
  if (SDL_LoadWAV_RW(stream, 1, &spec, &samples, &samples_size) == nullptr) {
    samples = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  spec.callback = nullptr;  // queued audio
  spec.samples = ShortBufferFrames(spec.freq);
  // The driver may grant another buffer length; anything else it cannot do
  // SDL converts.
  audio_device = SDL_OpenAudioDevice(nullptr, 0, &spec, nullptr,
                                     SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
  if (audio_device == 0) {
    SDL_FreeWAV(samples);
    samples = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

void PlayKeySound() {
  if (audio_device == 0) return;
  SDL_ClearQueuedAudio(audio_device);
  SDL_QueueAudio(audio_device, samples, samples_size);
  SDL_PauseAudioDevice(audio_device, 0);
}

void CloseKeySoundPlayer() {
  if (audio_device == 0) return;
  SDL_CloseAudioDevice(audio_device);
  audio_device = 0;
  SDL_FreeWAV(samples);
  samples = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
