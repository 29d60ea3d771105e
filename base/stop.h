// The program-wide request to stop: Ctrl+C and the other stop signals (or
// the console's control events on Windows), or an Escape the quit rule took
// at the console (app/quit_policy.h). Every wait of the program looks at
// it, so none of them can hold the program.
#pragma once

#include <atomic>

extern std::atomic<bool> stop_requested;

// The service mode's request to read its files again (SIGHUP on Linux): the
// main thread looks at it between steps and clears it.
extern std::atomic<bool> reload_requested;
