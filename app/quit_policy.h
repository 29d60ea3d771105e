// The one rule for ending a run early: Escape at the console, the remote's
// Home button, a stop signal (Ctrl+C and the like: base/stop.h), or a
// remote that went away. The keypad and remote layers ask it through
// base/quit.h.
#pragma once

// Sets this rule as the one base/quit.h asks; the main flow does so before
// anything waits. An Escape taken at the console sets stop_requested, so
// that every later question, with or without the console, sees it.
void InstallQuitPolicy();

// The service mode's rule: a stop signal or a lost remote. The Home button
// does nothing there, and there is no console to look at.
void InstallServiceQuitPolicy();
