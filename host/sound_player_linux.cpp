// The key sound through SDL2 audio. The image is decoded once at start and
// the device opened in the image's own format, so nothing is converted and
// a new key restarts the sound at once: clear the queue, queue, unpause.
//
// The device is asked for a short buffer. A key's sound starts in the next
// buffer the device takes, so the buffer's length is how late a click can
// be; SDL_LoadWAV's choice (4096 frames, 186 ms at 22 050 Hz) would be
// heard as a click after the key. On ALSA that is not all: SDL keeps two
// such buffers in the card and a third filled and waiting to go in, so a
// click sounds two to three buffers after its key (measured on snd-aloop in
// the system-tier VM test: 21-37 ms with buffers of 256 frames at 22 050 Hz).
#include <SDL2/SDL.h>

#include "host/host_output.h"

// The lowest sample rate played. The device runs in buffers of at least 64
// frames, and closing it waits for the buffer in hand: at 1 Hz that takes
// minutes, and the run could not end. No key sound is made below telephone
// quality (8000 Hz); an image under 4000 Hz is refused like an unreadable one.
constexpr int kLowestSampleRate = 4000;

static SDL_AudioDeviceID audio_device = 0;
static Uint8* samples = nullptr;
static Uint32 samples_size = 0;

// The buffer in whole multiples of 32 frames that lasts at most 10 ms at
// `rate`: 192 frames at 22 050 Hz (8.7 ms), 416 at 44 100 Hz, 480 at
// 48 000 Hz. Three of them end within 30 ms of the key. The shorter the
// buffer, the more often a busy machine lets it run dry (SDL then plays a
// moment of silence, and ALSA says "underrun occurred" on stderr).
static Uint16 ShortBufferFrames(int rate) {
  const int frames = rate / 100 / 32 * 32;
  return static_cast<Uint16>(frames < 64 ? 64 : frames > 4096 ? 4096 : frames);
}

// Whether the audio driver plays buffers of any length. SDL (2.26) rounds
// the buffer of a driver that plays only powers of two up to one, but keeps
// the byte size worked out for the length asked: its audio thread then
// writes each rounded buffer into the shorter one and corrupts the heap (a
// crash when the device is closed, with SDL's dummy driver after one key).
// ALSA, PulseAudio and PipeWire take any length; every other driver is
// asked for the power of two SDL would make of the length anyway.
static const char* const kAnyLengthDrivers[] = {"alsa", "pulseaudio",
                                                "pipewire"};

static bool PlaysAnyBufferLength() {
  const char* driver = SDL_GetCurrentAudioDriver();
  if (driver == nullptr) return false;
  for (const char* any : kAnyLengthDrivers) {
    if (SDL_strcmp(driver, any) == 0) return true;
  }
  return false;
}

static Uint16 PowerOfTwoAtLeast(Uint16 frames) {
  Uint16 power = 1;
  while (power < frames) power = static_cast<Uint16>(power * 2);
  return power;
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
  if (spec.freq >= kLowestSampleRate) {
    spec.callback = nullptr;  // queued audio
    spec.samples = ShortBufferFrames(spec.freq);
    if (!PlaysAnyBufferLength()) spec.samples = PowerOfTwoAtLeast(spec.samples);
    // The driver may grant another buffer length; anything else it cannot do
    // SDL converts.
    audio_device = SDL_OpenAudioDevice(nullptr, 0, &spec, nullptr,
                                       SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
  }
  if (audio_device == 0) {
    SDL_FreeWAV(samples);
    samples = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

void StartKeySound() {
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
