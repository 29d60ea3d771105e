// Whether the run is to end early, as the layers below the main flow ask
// it: the scan, detection and the wait for a register answer look here
// between steps, so none of them can hold the program. They only ask; the
// answer is the main flow's rule (app/quit_policy.h), handed in with
// SetQuitRule before anything waits.
#pragma once

// The rule: true when the run is to end. With `look_at_console` it first
// takes a waiting console key.
using QuitRule = bool (*)(bool look_at_console);

void SetQuitRule(QuitRule rule);

// Asks the rule from what is known already; the console is left alone.
// Until a rule is set, only stop_requested (base/stop.h) counts.
bool QuitRequestedWithoutConsole();

// Takes a waiting console key first (the rule says what it means), then
// asks as above.
bool QuitRequestedLookingAtConsole();
