#pragma once

#include <cstdint>

// Busy-waits until strictly more than `ms` milliseconds have passed on the
// monotonic clock. It never sleeps: the register writes to the keypad need
// just over 1 ms between them, finer than a sleep can promise.
void WaitMilliseconds(int32_t ms);
