#include "base/quit.h"

#include "base/stop.h"

static bool StopRequestedOnly(bool) { return stop_requested.load(); }

static QuitRule quit_rule = StopRequestedOnly;

void SetQuitRule(QuitRule rule) { quit_rule = rule; }

bool QuitRequestedWithoutConsole() { return quit_rule(false); }

bool QuitRequestedLookingAtConsole() { return quit_rule(true); }
