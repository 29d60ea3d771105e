// Timing of the scan against the emulated remote:
//  - one scan pass against an instant remote, next to its 8 ms of waits;
//  - from opening the remote to the first scan read, with a remote that
//    reports every 10 ms;
//  - from the reply that reveals a key to the keystroke and the sound.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/application.h"
#include "app/console.h"
#include "app/quit.h"
#include "emulator/emulator_control.h"
#include "keypad/keypad.h"
#include "remote/remote_link.h"
#include "tests/fakes/host_fake.h"

namespace {

void ResetProgram(const char* scenario) {
  remote_state.button_byte_1 = 0;
  remote_state.button_byte_2 = 0;
  remote_lost = false;
  stop_requested = false;
  fake::Reset();
  zolmek_emulator::LoadScenarioText(scenario);
}

// Runs the whole program with stdout silenced; Escape at the scan's
// `passes`-th look at the console.
void RunQuietly(int passes) {
  std::vector<int> keys(static_cast<size_t>(passes), kNoKey);
  keys.push_back(kEscapeKey);
  fake::console = fake::ConsoleKeys(keys);
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  RunApplication(0, nullptr, nullptr);
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(null);
  close(saved);
}

void BM_ScanPass(benchmark::State& state) {
  ResetProgram("");
  remote_handle = OpenHidHandle(kRemoteVendorId, kRemoteProductId);
  ConfigureExpander();
  uint8_t first = 0;
  uint8_t columns[kKeypadRows];
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (int row = 0; row < kKeypadRows; ++row) {
      ReadKeypadRow(kRowPatterns[row], first, columns[row]);
    }
    benchmark::DoNotOptimize(FindKeyPosition(columns));
  }
  CloseHidHandle(remote_handle);
  remote_handle = -1;
  const std::chrono::duration<double, std::milli> took =
      std::chrono::steady_clock::now() - start;
  // Four rows of two 1 ms waits each: 8 ms is the floor.
  state.counters["ratio_to_8ms"] =
      took.count() / static_cast<double>(state.iterations()) / 8.0;
}
BENCHMARK(BM_ScanPass)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_OpenToFirstScanPass(benchmark::State& state) {
  double worst = 0;
  for (auto _ : state) {
    ResetProgram("interval 10");
    RunQuietly(1);
    const auto t = zolmek_emulator::GetTimestamps();
    const double ms = static_cast<double>(t.first_scan_read - t.opened) / 1e6;
    state.SetIterationTime(ms / 1000.0);
    if (ms > worst) worst = ms;
  }
  state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_OpenToFirstScanPass)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_ReplyToKeystrokeAndSound(benchmark::State& state) {
  double worst_key = 0;
  double worst_sound = 0;
  for (auto _ : state) {
    // A key in the last row: its row's reply is the last of the pass, the
    // one after which the key is known. Escape before the next pass, so no
    // later reply with the key held moves the timestamp.
    ResetProgram("press 7 2");
    RunQuietly(2);
    const auto t = zolmek_emulator::GetTimestamps();
    const double key_us =
        static_cast<double>(fake::key_sent_at - t.key_reply) / 1e3;
    const double sound_us =
        static_cast<double>(fake::sound_started_at - t.key_reply) / 1e3;
    state.SetIterationTime(sound_us / 1e6);
    if (key_us > worst_key) worst_key = key_us;
    if (sound_us > worst_sound) worst_sound = sound_us;
  }
  state.counters["worst_key_us"] = worst_key;
  state.counters["worst_sound_us"] = worst_sound;
}
BENCHMARK(BM_ReplyToKeystrokeAndSound)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
