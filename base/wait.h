#pragma once

#include <cstdint>

// Returns once strictly more than `ms` milliseconds have passed on the
// monotonic high-resolution clock, never sooner. The register writes to the
// keypad need just over 1 ms between them, finer than a sleep alone can
// promise, so the wait sleeps for most of the interval and spins on the
// clock for the last stretch: precise to the clock, without holding a core.
void WaitMilliseconds(int32_t ms);
