// The millisecond wait: asleep to an absolute moment a margin before the
// deadline (base/spin_margin.h), then spinning on the monotonic clock. A
// sleep alone can come back hundreds of microseconds late on a busy
// machine; a spin alone would hold a core for as long as the program scans.

// C library
#include <errno.h>
#include <time.h>
// Linux
#include <sys/prctl.h>

#include <chrono>

#include "base/spin_margin.h"
#include "base/wait.h"

using Clock = std::chrono::steady_clock;
using Nanoseconds = std::chrono::nanoseconds;

// The kernel lets a sleep run late by the thread's timer slack (50 us by
// default) to batch wake-ups; 1 ns asks for the wake-up as set.
static void AskForPreciseWakeUps() {
  static thread_local bool asked = false;
  if (asked) return;
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  asked = true;
}

static void SleepUntil(Clock::time_point wake) {
  const int64_t ns =
      std::chrono::duration_cast<Nanoseconds>(wake.time_since_epoch()).count();
  timespec at;
  at.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  at.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  // steady_clock is CLOCK_MONOTONIC on Linux. Interrupted: sleep on to the
  // same moment; any other failure leaves the rest to the spin.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) ==
         EINTR) {
  }
}

void WaitMilliseconds(int32_t ms) {
  const Clock::time_point start = Clock::now();
  const Clock::time_point wake =
      start + std::chrono::milliseconds(ms) - Nanoseconds(SpinMarginNs());
  if (wake > start) {
    AskForPreciseWakeUps();
    SleepUntil(wake);
    LearnFromWakeUp(
        std::chrono::duration_cast<Nanoseconds>(Clock::now() - wake).count());
  }
  for (;;) {
    const std::chrono::duration<double, std::milli> elapsed =
        Clock::now() - start;
    if (elapsed.count() > static_cast<double>(ms)) return;
  }
}
