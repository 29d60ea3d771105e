// From PlayKeySound to the click's first samples being handed to the audio
// driver, with the real player on SDL's disk driver (it takes one buffer
// at a time from the player, paced like a sound card). The moment is when
// SDL takes the first buffer's worth out of the sound queued by
// PlayKeySound; the file the driver writes cannot show it, since its
// writes sit in a stdio buffer for several device buffers.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "host/host_output.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The player's device: the one with sound queued right after a key.
SDL_AudioDeviceID FindPlayingDevice() {
  for (SDL_AudioDeviceID id = 1; id < 16; ++id) {
    if (SDL_GetQueuedAudioSize(id) > 0) return id;
  }
  return 0;
}

void BM_KeyToFirstClickSample(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / "zolmek-sound-bench";
  fs::create_directories(dir);
  fs::copy_file(ZOLMEK_KEY_SOUND, dir / "test1.wav",
                fs::copy_options::overwrite_existing);
  const std::string output = (dir / "sdlaudio.raw").string();
  fs::remove(output);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  const fs::path previous = fs::current_path();
  fs::current_path(dir);  // test1.wav is read from the working directory
  LoadKeySound();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // running

  double worst_ms = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    PlayKeySound();
    static const SDL_AudioDeviceID device = FindPlayingDevice();
    static const Uint32 whole = SDL_GetQueuedAudioSize(device);
    double ms = 1e9;  // never taken
    while (Clock::now() - start < std::chrono::seconds(2)) {
      if (SDL_GetQueuedAudioSize(device) < whole) {
        ms = std::chrono::duration<double, std::milli>(Clock::now() - start)
                 .count();
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    state.SetIterationTime(ms / 1000.0);
    if (ms > worst_ms) worst_ms = ms;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // played
  }
  state.counters["worst_ms"] = worst_ms;
  CloseKeySoundPlayer();
  fs::current_path(previous);
  fs::remove_all(dir);
}
BENCHMARK(BM_KeyToFirstClickSample)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
