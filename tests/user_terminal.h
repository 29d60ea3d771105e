// The terminal mode a user's shell leaves: canonical, echoing, Ctrl+C as
// SIGINT. The pty harnesses start zolmek on such a terminal, so that what
// it changes (and must restore) is visible.
#pragma once

#include <termios.h>

#include <cstring>

inline termios UserTerminalMode() {
  termios mode;
  std::memset(&mode, 0, sizeof mode);
  mode.c_iflag = ICRNL;
  mode.c_oflag = OPOST | ONLCR;
  mode.c_cflag = CS8 | CREAD;
  mode.c_lflag = ICANON | ECHO | ISIG;
  mode.c_cc[VINTR] = 3;
  mode.c_cc[VMIN] = 1;
  cfsetspeed(&mode, B38400);
  return mode;
}
