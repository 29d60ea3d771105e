// The program-wide request to stop: Ctrl+C and the other stop signals (or
// the console's control events on Windows), or an Escape taken while a wait
// looked at the console. Every wait of the program looks at it, so none of
// them can hold the program.
#pragma once

#include <atomic>

extern std::atomic<bool> stop_requested;
