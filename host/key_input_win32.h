// The SendInput records for a key with modifiers: Windows only, kept apart
// from the SendInput call so tests can read them.
#pragma once

#include <windows.h>

#include "host/key_names.h"

// Fills `records` with the chord's events (ChordSteps), each with its
// virtual-key code, the scan code MapVirtualKeyA gives for it,
// KEYEVENTF_EXTENDEDKEY where the name table asks for it and KEYEVENTF_KEYUP
// on the way up. Returns how many it filled.
UINT FillChordInputs(const KeyChord& chord, INPUT records[kMaxChordSteps]);
