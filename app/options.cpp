#include "app/options.h"

#include <cstring>

const char kUsageLine[] =
    "usage: zolmek [--service | --monitor | --check-keymap [FILE]] "
    "[--keymap FILE] [--sound FILE | --no-sound]\n"
    "       zolmek --autostart on|off | --help | --version\n";

const char kHelpText[] =
    "zolmek: a numeric keypad on a Wii Remote's extension port as a "
    "keyboard.\n"
    "\n"
    "Without options it runs in this console until Escape, Ctrl+C or the\n"
    "remote's Home button, printing each key pressed.\n"
    "\n"
    "  --service            run without a terminal until stopped: wait for\n"
    "                       the remote, come back after it drops, log events\n"
    "                       (never keys) on stderr; SIGHUP reloads the key\n"
    "                       sound and the key map\n"
    "  --monitor            print each key's position, legend and mapped key\n"
    "                       as it goes down and up; types and plays nothing\n"
    "  --check-keymap [FILE]  check a key map and print the layout it gives\n"
    "  --keymap FILE        the key map to use (default: "
#if defined(_WIN32)
    "%APPDATA%\\zolmek\\keymap.conf"
#else
    "~/.config/zolmek/keymap.conf,\n"
    "                       then /etc/zolmek/keymap.conf"
#endif
    ")\n"
    "  --sound FILE         the key sound (default: test1.wav in the working\n"
    "                       directory; in service mode the installed sample)\n"
    "  --no-sound           no key sound\n"
    "  --autostart on|off   start zolmekw.exe --service at logon (Windows)\n"
    "  --help, --version\n";

namespace {

bool Is(const char* argument, const char* option) {
  return std::strcmp(argument, option) == 0;
}

}  // namespace

std::string ParseOptions(int argc, char** argv, Options& options) {
  options = Options();
  bool mode_given = false;
  auto set_mode = [&](Options::Mode mode, const char* name) -> std::string {
    if (mode_given && options.mode != mode) {
      return std::string(name) + " cannot be combined with another mode";
    }
    mode_given = true;
    options.mode = mode;
    return "";
  };
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    const bool has_value = i + 1 < argc;
    std::string fault;
    if (Is(argument, "--service")) {
      fault = set_mode(Options::Mode::kService, argument);
    } else if (Is(argument, "--monitor")) {
      fault = set_mode(Options::Mode::kMonitor, argument);
    } else if (Is(argument, "--help") || Is(argument, "-h")) {
      fault = set_mode(Options::Mode::kHelp, argument);
    } else if (Is(argument, "--version")) {
      fault = set_mode(Options::Mode::kVersion, argument);
    } else if (Is(argument, "--check-keymap")) {
      fault = set_mode(Options::Mode::kCheckKeymap, argument);
      // The file is optional: a next argument that is no option names it.
      if (fault.empty() && has_value && argv[i + 1][0] != '-') {
        options.keymap = argv[++i];
      }
    } else if (Is(argument, "--autostart")) {
      fault = set_mode(Options::Mode::kAutostart, argument);
      if (fault.empty()) {
        if (!has_value || !(Is(argv[i + 1], "on") || Is(argv[i + 1], "off"))) {
          return "--autostart takes 'on' or 'off'";
        }
        options.autostart_on = Is(argv[++i], "on");
      }
    } else if (Is(argument, "--sound") || Is(argument, "--keymap")) {
      if (!has_value || argv[i + 1][0] == '\0') {
        return std::string(argument) + " needs a file";
      }
      (Is(argument, "--sound") ? options.sound : options.keymap) = argv[++i];
    } else if (Is(argument, "--no-sound")) {
      options.no_sound = true;
    } else {
      return std::string(argument[0] == '-' ? "unknown option '"
                                            : "unexpected argument '") +
             argument + "'";
    }
    if (!fault.empty()) return fault;
  }
  if (options.no_sound && !options.sound.empty()) {
    return "--sound and --no-sound cannot be combined";
  }
  return "";
}
