// libFuzzer target: the key sound. The fuzzer's bytes are written as
// test1.wav in a scratch working directory; the real LoadKeySound reads it,
// SDL decodes it and the player opens SDL's dummy audio device with it, plays
// it once and closes.
//
// Besides the sanitizers' checks: the file is read back whole and unchanged,
// and closing the player (as every run of the program ends) comes back.
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

  LoadKeySound();
  if (sound_size != size || std::memcmp(SoundBuffer, data, size) != 0) {
    Fail("test1.wav was not read whole and unchanged");
  }
  PlayKeySound();
  CloseKeySoundPlayer();
  std::memset(SoundBuffer, 0, size);
  return 0;
}
