#include "app/quit.h"

#include "app/console.h"
#include "remote/remote_link.h"

std::atomic<bool> stop_requested{false};

bool QuitRequested() {
  return stop_requested.load() || remote_lost.load() ||
         (remote_state.button_byte_2 & kHomeButtonBit) != 0;
}

bool CheckForQuit() {
  if (PollConsoleKey() == kEscapeKey) stop_requested = true;
  return QuitRequested();
}
