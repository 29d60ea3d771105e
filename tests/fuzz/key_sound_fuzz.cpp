// libFuzzer target: the key sound. The fuzzer's bytes are written as
// test1.wav in a scratch working directory; the real LoadKeySound reads it,
// SDL decodes it and the player opens SDL's dummy audio device with it, plays
// it once and closes.
//
// Besides the sanitizers' checks: the file is read back whole and unchanged,
// and closing the player (as every run of the program ends) comes back.
//
// SDL is a system library without coverage instrumentation, so libFuzzer
// cannot see which of its paths an input took. What SDL said instead (its
// error message, or the wave format tag of an image it took) is handed to
// libFuzzer as extra features, so that inputs reaching a new rejection or a
// new decoder stay in the corpus.
#include <SDL2/SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_output.h"

namespace {

char scratch[] = "/tmp/zolmek-fuzz-sound-XXXXXX";

void RemoveScratch() {
  std::remove((std::string(scratch) + "/" + kKeySoundFile).c_str());
  rmdir(scratch);
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// libFuzzer's extra counters: a byte set here is a feature of the input.
__attribute__((section("__libfuzzer_extra_counters")))
uint8_t sdl_outcomes[512];

void NoteOutcome(const char* text, size_t length) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (size_t i = 0; i < length; ++i) {
    hash = (hash ^ static_cast<uint8_t>(text[i])) * 16777619u;
  }
  sdl_outcomes[hash % sizeof sdl_outcomes] = 1;
}

// The format tag of the first "fmt " chunk, "?" when there is none.
std::string WaveFormat(const uint8_t* data, size_t size) {
  for (size_t at = 12; at + 10 <= size;) {
    const uint32_t length = data[at + 4] | data[at + 5] << 8 |
                            data[at + 6] << 16 | uint32_t{data[at + 7]} << 24;
    if (std::memcmp(data + at, "fmt ", 4) == 0) {
      return "format " + std::to_string(data[at + 8] | data[at + 9] << 8);
    }
    if (length > size) break;
    at += 8 + length + (length & 1);
  }
  return "?";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (mkdtemp(scratch) == nullptr || chdir(scratch) != 0) Fail("no scratch");
  std::atexit(RemoveScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(kKeySoundFile, "wb");
  if (file == nullptr) Fail("cannot write test1.wav");
  if (size > 0 && std::fwrite(data, 1, size, file) != size) Fail("short write");
  std::fclose(file);

  SDL_ClearError();
  LoadKeySound();
  const std::string said = SDL_GetError();
  const std::string outcome = said.empty() ? WaveFormat(data, size) : said;
  NoteOutcome(outcome.data(), outcome.size());
  if (sound_size != size || std::memcmp(SoundBuffer, data, size) != 0) {
    Fail("test1.wav was not read whole and unchanged");
  }
  PlayKeySound();
  CloseKeySoundPlayer();
  std::memset(SoundBuffer, 0, size);
  return 0;
}
