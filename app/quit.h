// The ways a run ends early: Escape at the console, the remote's Home button,
// Ctrl+C and the other stop signals, and a remote that went away. Every wait of
// the program looks here, so none of them can hold the program.
#pragma once

#include <atomic>

// Set by the signal handlers, and by an Escape taken from the console while
// a register read waited unusually long.
extern std::atomic<bool> stop_requested;

// stop_requested, a lost remote, or the Home button down. Main thread only,
// once the probe's reader has ended (it reads the button bytes).
bool QuitRequested();

// QuitRequested, after first taking a waiting console key (an Escape sets
// stop_requested; any other key is swallowed).
bool CheckForQuit();
