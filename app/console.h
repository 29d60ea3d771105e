// The console as the scan loop uses it: one non-blocking look for a key per
// pass, Escape to end. The platform file also installs the signal handling
// that turns Ctrl+C and friends into an orderly end.
#pragma once

constexpr int kNoKey = -1;
constexpr int kEscapeKey = 27;
// What PollConsoleKey returns for a swallowed multi-byte key (arrows,
// function keys): a key was there, and it is not Escape.
constexpr int kOtherKey = 0;

// Puts the terminal (if stdin is one) into no-echo, non-canonical mode and
// installs the handlers for SIGINT, SIGTERM and SIGHUP, which set
// stop_requested. A second such signal restores the terminal and exits at once.
void OpenConsole();

// Puts the terminal back as OpenConsole found it. Safe to call more than once.
void RestoreConsole();

// kNoKey when no key is waiting, else the key's code (kEscapeKey for a lone
// Escape). Never blocks.
int PollConsoleKey();
