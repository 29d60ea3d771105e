// The console as the quit rule uses it (app/quit_policy.h): a non-blocking
// look for a key, once per scan pass or detection attempt and between the
// slices of a long wait, Escape to end. The platform file also installs the
// signal handling that turns Ctrl+C and friends into an orderly end.
#pragma once

constexpr int kNoKey = -1;
constexpr int kEscapeKey = 27;
// What PollConsoleKey returns for a swallowed multi-byte key (arrows,
// function keys): a key was there, and it is not Escape.
constexpr int kOtherKey = 0;

// Puts the terminal (if stdin is one) into no-echo, non-canonical mode and
// turns the console's stop requests into stop_requested: on Linux SIGINT,
// SIGTERM, SIGHUP and SIGQUIT, taken by a signal-watching thread (which also
// gives the terminal back across Ctrl+Z and fg); on Windows the console's
// control events. A second such request restores the terminal and exits at
// once.
void OpenConsole();

// The service mode's share of the above: stop requests as there, SIGHUP
// (Linux) as reload_requested instead, and no terminal: stdin is not read
// and its mode not touched.
void OpenServiceSignals();

// Puts the terminal back as OpenConsole found it. Safe to call more than once.
void RestoreConsole();

// kNoKey when no key is waiting, kEscapeKey for a lone Escape, and another
// value for any other key, which the caller swallows: kOtherKey on Linux
// (and for Windows keys of two codes, arrows and the like), the key's code
// for an ordinary key on Windows. Never blocks.
int PollConsoleKey();
