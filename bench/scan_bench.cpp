// Timing of the scan against the emulated remote:
//  - one scan pass against an instant remote, next to its 8 ms of waits,
//    and the share of a core it takes;
//  - WaitMilliseconds(1) next to a pure spin on the clock and a plain
//    1 ms sleep: how late each returns (p50, p90, p99, max) and the CPU
//    each takes, and an error when the wait's median runs over by more than
//    its spin cushion. The plain sleep's lateness is the machine's own, the
//    one the wait's margin has to cover;
//  - from opening the remote to the first scan read, with a remote that
//    reports every 10 ms;
//  - from the reply that reveals a key to the keystroke and the sound.
#include <benchmark/benchmark.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/application.h"
#include "base/console.h"
#include "base/spin_margin.h"
#include "base/stop.h"
#include "base/wait.h"
#include "emulator/emulator_control.h"
#include "keypad/keypad.h"
#include "remote/remote_link.h"
#include "test_support/host_fake.h"
#include "test_support/program_state.h"

namespace {

void ResetProgram(const char* scenario) {
  ResetProgramState();
  zolmek_emulator::LoadScenarioText(scenario);
}

// Runs the whole program with stdout silenced; Escape at the scan's
// `passes`-th look at the console (detection looks once before).
void RunQuietly(int passes) {
  std::vector<int> keys(static_cast<size_t>(passes) + 1, kNoKey);
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

// CPU time of the whole process, in seconds.
double ProcessCpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void BM_ScanPass(benchmark::State& state) {
  ResetProgram("");
  remote_handle = OpenHidHandle(kRemoteVendorId, kRemoteProductId);
  ConfigureExpander();
  uint8_t first = 0;
  uint8_t columns[kKeypadRows];
  const double cpu_start = ProcessCpuSeconds();
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
  // Of one core, while scanning with no key held.
  state.counters["cpu_share"] =
      (ProcessCpuSeconds() - cpu_start) / (took.count() / 1000.0);
}
BENCHMARK(BM_ScanPass)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// What the wait did before it learned to sleep: spin on the clock
// throughout. The yardstick for the new wait's precision.
void SpinMilliseconds(int32_t ms) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    if (elapsed.count() > static_cast<double>(ms)) return;
  }
}

// The machine's own wake-up: one absolute sleep on the monotonic clock, with
// the timer slack the wait asks for (1 ns), no spin.
void SleepMilliseconds(int32_t ms) {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  timespec at;
  clock_gettime(CLOCK_MONOTONIC, &at);
  at.tv_nsec += static_cast<long>(ms) * 1'000'000;
  at.tv_sec += at.tv_nsec / 1'000'000'000;
  at.tv_nsec %= 1'000'000'000;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) ==
         EINTR) {
  }
}

// Arg 0: WaitMilliseconds(1); arg 1: the pure spin; arg 2: the plain sleep.
// Overshoot past 1 ms.
void BM_WaitOneMillisecond(benchmark::State& state) {
  void (*const waits[])(int32_t) = {WaitMilliseconds, SpinMilliseconds,
                                    SleepMilliseconds};
  void (*wait)(int32_t) = waits[state.range(0)];
  std::vector<double> late_us;
  late_us.reserve(4096);
  const double cpu_start = ProcessCpuSeconds();
  const auto begin = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    wait(1);
    const std::chrono::duration<double, std::micro> took =
        std::chrono::steady_clock::now() - start;
    late_us.push_back(took.count() - 1000.0);
  }
  const std::chrono::duration<double> wall =
      std::chrono::steady_clock::now() - begin;
  std::sort(late_us.begin(), late_us.end());
  auto at = [&](double q) {
    return late_us[static_cast<size_t>(q * (late_us.size() - 1))];
  };
  state.counters["p50_us"] = at(0.50);
  state.counters["p90_us"] = at(0.90);
  state.counters["p99_us"] = at(0.99);
  state.counters["max_us"] = late_us.back();
  state.counters["cpu_share"] =
      (ProcessCpuSeconds() - cpu_start) / wall.count();
  // The wait's upper bound. It wakes a margin before its moment and spins
  // the rest, so most waits end within the spin's granularity of 1 ms;
  // half of them later than the cushion kept above the wake-up's lateness
  // means they sleep past their moment.
  if (state.range(0) == 0 && at(0.50) * 1000.0 > kSpinCushionNs) {
    state.SkipWithError(
        "WaitMilliseconds(1) overshoots by more than the "
        "spin cushion at its median");
  }
}
BENCHMARK(BM_WaitOneMillisecond)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(3000)
    ->Unit(benchmark::kMicrosecond);

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
