// The millisecond wait on the performance counter: the frequency is read at
// every call, before the start count, and the elapsed time compared as a
// floating-point number of milliseconds, strictly greater than `ms`.
//
// Most of the interval is slept on a high-resolution waitable timer
// (Windows 10 1803 and later); the last stretch, a margin that follows how
// late the timer actually fires (base/spin_margin.h), is spun on the counter.
// Where the system refuses such a timer, the whole wait is spun.
#include <windows.h>

#include "base/spin_margin.h"
#include "base/wait.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// One timer per thread that waits, made at its first wait; null where the
// system has no high-resolution timers.
static HANDLE PreciseTimer() {
  static thread_local bool made = false;
  static thread_local HANDLE timer = nullptr;
  if (!made) {
    timer = CreateWaitableTimerExW(nullptr, nullptr,
                                   CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                   TIMER_ALL_ACCESS);
    made = true;
  }
  return timer;
}

static double ElapsedMs(const LARGE_INTEGER& start,
                        const LARGE_INTEGER& frequency) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart) * 1000.0;
}

void WaitMilliseconds(int32_t ms) {
  LARGE_INTEGER frequency;
  LARGE_INTEGER start;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const double sleep_ms =
      static_cast<double>(ms) - static_cast<double>(SpinMarginNs()) / 1e6;
  HANDLE timer = sleep_ms > 0 ? PreciseTimer() : nullptr;
  if (timer != nullptr) {
    // Relative due time, in 100 ns units.
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(sleep_ms * 10'000.0);
    if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
        WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0) {
      const double late_ms = ElapsedMs(start, frequency) - sleep_ms;
      LearnFromWakeUp(static_cast<int64_t>(late_ms * 1e6));
    }
  }
  while (ElapsedMs(start, frequency) <= static_cast<double>(ms)) {
  }
}
