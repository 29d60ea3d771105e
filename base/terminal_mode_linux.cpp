#include <unistd.h>

#include "base/terminal_mode.h"

bool EnterSingleKeyMode(int fd, int min_bytes, termios& saved, termios& set) {
  if (!isatty(fd) || tcgetattr(fd, &saved) != 0) return false;
  set = saved;
  set.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  set.c_cc[VMIN] = static_cast<cc_t>(min_bytes);
  set.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &set) == 0;
}
