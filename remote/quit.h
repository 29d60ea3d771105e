// The ways a run ends early: Escape at the console, the remote's Home button,
// Ctrl+C and the other stop signals (base/stop.h), and a remote that went
// away. Every wait of the program looks here, so none of them can hold it.
#pragma once

// stop_requested, a lost remote, or the Home button down. Does not look at
// the console. Main thread only, once the probe's reader has ended (it
// writes the button bytes).
bool QuitRequested();

// Takes a waiting console key first (an Escape sets stop_requested; any
// other key is swallowed), then QuitRequested.
bool QuitRequestedOrEscape();
