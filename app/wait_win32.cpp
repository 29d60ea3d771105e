// The millisecond wait on the performance counter. The frequency is read at
// every call, before the start count, and the elapsed time compared as a
// floating-point number of milliseconds, strictly greater than `ms`.
#include <windows.h>

#include "app/wait.h"

void WaitMilliseconds(int32_t ms) {
  LARGE_INTEGER frequency;
  LARGE_INTEGER start;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (;;) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const double elapsed_ms =
        static_cast<double>(now.QuadPart - start.QuadPart) /
        static_cast<double>(frequency.QuadPart) * 1000.0;
    if (elapsed_ms > static_cast<double>(ms)) return;
  }
}
