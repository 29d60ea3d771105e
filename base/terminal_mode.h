// A POSIX terminal in single-key mode, for programs that read keys as they
// are typed: zolmek's console and zolmek-remote's keyboard.
#pragma once

#include <termios.h>

// Puts the terminal on `fd` into single-key mode: no echo, no line editing;
// a read returns once `min_bytes` bytes are there (0: at once, with what
// there is). Ctrl+C and the like still raise their signals. `saved` gets the
// mode found (to put back with tcsetattr) and `set` the mode set. False,
// with nothing changed, when `fd` is no terminal or the mode cannot be set.
bool EnterSingleKeyMode(int fd, int min_bytes, termios& saved, termios& set);
