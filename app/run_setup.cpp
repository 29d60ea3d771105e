#include "app/run_setup.h"

#include <cstdio>

#include "base/executable.h"
#include "base/instance_lock.h"
#include "host/host_output.h"
#include "protocol/keypad.h"

KeypadLayout KeypadKeymapLayout() {
  return {kKeypadRows, kKeypadColumns, KeyTable};
}

KeymapLoad LoadKeymapOfOptions(const Options& options) {
  KeymapLoad load =
      LoadKeymap(options.keymap.empty() ? nullptr : options.keymap.c_str(),
                 KeypadKeymapLayout());
  for (const std::string& error : load.errors) {
    std::fprintf(stderr, "%s\n", error.c_str());
  }
  return load;
}

bool UseKeymapOfOptions(const Options& options, std::string& description) {
  KeymapLoad load = LoadKeymapOfOptions(options);
  if (!load.errors.empty()) return false;
  description = load.file.empty() ? "the built-in keys" : load.file;
  UseKeymap(std::move(load.map));
  return true;
}

static bool FileIsThere(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// The sample key sound as installed: beside the program in the build tree
// and the Windows zip, in ../share/zolmek from an installed bin folder.
static std::string InstalledKeySound() {
  const std::string folder = ExecutableFolder();
  if (folder.empty()) return "";
  for (const char* place : {"/", "/../share/zolmek/"}) {
    const std::string path = folder + place + kKeySoundFile;
    if (FileIsThere(path)) return path;
  }
  return "";
}

std::string ChooseKeySound(const Options& options, bool service) {
  static std::string file;  // LoadKeySound reads it whenever it loads
  if (options.no_sound) {
    SetKeySoundFile(nullptr);
    return "none";
  }
  file = !options.sound.empty() ? options.sound
         : service              ? InstalledKeySound()
                                : std::string(kKeySoundFile);
  if (file.empty()) {
    SetKeySoundFile(nullptr);
    return "none (no sample installed beside the program)";
  }
  SetKeySoundFile(file.c_str());
  return file;
}

bool TakeTheRemote() {
  const long holder = TakeInstanceLock();
  if (holder == 0) return true;
  if (holder > 0) {
    std::fprintf(stderr, "zolmek: the remote is in use by zolmek (pid %ld)\n",
                 holder);
  } else {
    std::fprintf(stderr, "zolmek: the remote is in use by another zolmek\n");
  }
  return false;
}
