#pragma once

#include <string>

// What the service was started with, for its log and its reloads.
struct ServiceFiles {
  const char* keymap;  // the --keymap file; nullptr: the default search
  std::string sound_description;
  std::string keymap_description;
};

// zolmek --service: runs until SIGTERM or SIGINT (Ctrl+C or closing the
// console on Windows), returns the exit status (0). The caller has set up
// the log, the signals, the key sound file and the key map.
int RunService(const ServiceFiles& files);
