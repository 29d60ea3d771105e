#include "app/quit_policy.h"

#include "base/console.h"
#include "base/quit.h"
#include "base/stop.h"
#include "remote/remote_link.h"

// The button bytes are the main thread's once the probe's reader has ended;
// nothing asks before then.
static bool QuitPolicy(bool look_at_console) {
  if (look_at_console && PollConsoleKey() == kEscapeKey) stop_requested = true;
  return stop_requested.load() || remote_lost.load() ||
         (remote_state.button_byte_2 & kHomeButtonBit) != 0;
}

void InstallQuitPolicy() { SetQuitRule(QuitPolicy); }

static bool ServiceQuitPolicy(bool) {
  return stop_requested.load() || remote_lost.load();
}

void InstallServiceQuitPolicy() { SetQuitRule(ServiceQuitPolicy); }
