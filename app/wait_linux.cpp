#include <chrono>

#include "app/wait.h"

void WaitMilliseconds(int32_t ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  for (;;) {
    const std::chrono::duration<double, std::milli> elapsed =
        Clock::now() - start;
    if (elapsed.count() > static_cast<double>(ms)) return;
  }
}
