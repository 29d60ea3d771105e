// What the modes that talk to the remote settle before they touch it: the
// key map (a wrong one ends the run with every fault, status 78), the key
// sound, and the lock that keeps a second zolmek off the remote.
#pragma once

#include <string>

#include "app/options.h"
#include "host/keymap.h"

// The exit status of a key map that is wrong: EX_CONFIG, which a systemd
// unit can be told not to restart on.
constexpr int kConfigExitStatus = 78;

// The keypad's matrix and legends, as a key map sees them.
KeypadLayout KeypadKeymapLayout();

// Reads the map --keymap names, else the first of the default places that
// has one; every fault goes to stderr.
KeymapLoad LoadKeymapOfOptions(const Options& options);
// The same, and a good map is put in use. A good map is put in use, and
// `description` says where it came from; a wrong one puts every fault on stderr
// and returns false.
bool UseKeymapOfOptions(const Options& options, std::string& description);

// Sets the key sound file for the mode: none with --no-sound, --sound's
// file, else test1.wav in the working directory (the console program) or,
// for the service, the sample installed beside the program. Returns what it
// chose, for the log.
std::string ChooseKeySound(const Options& options, bool service);

// One remote, one zolmek: takes the lock, or says on stderr which zolmek
// has it and returns false.
bool TakeTheRemote();
