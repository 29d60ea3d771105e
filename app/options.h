// zolmek's command line. Without options it is the console program; the
// options add modes (a service, a monitor, a map check) and choices (the
// key sound, the key map) around it.
#pragma once

#include <string>

struct Options {
  enum class Mode {
    kConsole,      // no mode option: the console program
    kService,      // --service
    kMonitor,      // --monitor
    kCheckKeymap,  // --check-keymap [FILE]
    kAutostart,    // --autostart on|off (Windows)
    kHelp,         // --help
    kVersion,      // --version
  };
  Mode mode = Mode::kConsole;
  std::string sound;  // --sound FILE; "" for the mode's default
  bool no_sound = false;
  std::string keymap;  // --keymap FILE, or --check-keymap's FILE
  bool autostart_on = false;
};

// The exit status of a command line that makes no sense.
constexpr int kUsageExitStatus = 2;

// Reads argv. Returns "" with `options` set, or what is wrong with the
// command line ("unknown option '--x'"), said before the usage line.
std::string ParseOptions(int argc, char** argv, Options& options);

// The one-line synopsis, and the --help text.
extern const char kUsageLine[];
extern const char kHelpText[];
