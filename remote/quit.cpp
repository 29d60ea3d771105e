#include "remote/quit.h"

#include "base/console.h"
#include "base/stop.h"
#include "remote/remote_link.h"

bool QuitRequested() {
  return stop_requested.load() || remote_lost.load() ||
         (remote_state.button_byte_2 & kHomeButtonBit) != 0;
}

bool QuitRequestedOrEscape() {
  if (PollConsoleKey() == kEscapeKey) stop_requested = true;
  return QuitRequested();
}
