// zolmek's entry: the command line picks the mode. Without options it is
// the console program.
#include <cstdio>
#include <string>

#include "app/application.h"
#include "app/autostart.h"
#include "app/options.h"
#include "app/run_setup.h"
#include "app/service.h"
#include "base/console.h"
#include "base/instance_lock.h"
#include "base/log.h"

// zolmek --check-keymap [FILE]: every fault of the map, or the layout it
// gives. No remote needed.
static int CheckKeymap(const Options& options) {
  const KeymapLoad load = LoadKeymapOfOptions(options);
  if (!load.errors.empty()) return kConfigExitStatus;
  std::printf("%s:\n\n%s",
              load.file.empty() ? "no key map found; the built-in keys"
                                : load.file.c_str(),
              RenderKeymap(load.map, KeypadKeymapLayout()).c_str());
  return 0;
}

int main(int argc, char** argv, char** envp) {
  static Options options;  // the key sound's and key map's file names
  const std::string fault = ParseOptions(argc, argv, options);
  if (!fault.empty()) {
    std::fprintf(stderr, "zolmek: %s\n%s", fault.c_str(), kUsageLine);
    return kUsageExitStatus;
  }
  switch (options.mode) {
    case Options::Mode::kHelp:
      std::printf("%s\n%s", kUsageLine, kHelpText);
      return 0;
    case Options::Mode::kVersion:
      std::printf("zolmek %s\n", ZOLMEK_VERSION);
      return 0;
    case Options::Mode::kCheckKeymap:
      return CheckKeymap(options);
    case Options::Mode::kAutostart:
      return SetAutostart(options.autostart_on);
    default:
      break;
  }

  // Before the remote is touched: a wrong map ends the run here.
  std::string keymap;
  if (!UseKeymapOfOptions(options, keymap)) return kConfigExitStatus;
  if (!TakeTheRemote()) return 1;
  int status = 0;
  if (options.mode == Options::Mode::kService) {
    OpenLog();
    OpenServiceSignals();
    const ServiceFiles files = {
        options.keymap.empty() ? nullptr : options.keymap.c_str(),
        ChooseKeySound(options, /*service=*/true), keymap};
    status = RunService(files);
  } else {
    OpenConsole();
    if (options.mode == Options::Mode::kMonitor) {
      status = RunMonitor();
    } else {
      ChooseKeySound(options, /*service=*/false);
      status = RunApplication(argc, argv, envp);
    }
    RestoreConsole();
  }
  ReleaseInstanceLock();
  return status;
}
