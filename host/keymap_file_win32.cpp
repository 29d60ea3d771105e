// Where a key map is looked for, and reading it. Only a regular file is
// read: a device name such as "CON" opens fine on Windows and would wait for
// the console.
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/keymap.h"

std::vector<std::string> DefaultKeymapPaths(const EnvironmentLookup& env) {
  std::vector<std::string> paths;
  const char* appdata = env("APPDATA");
  if (appdata != nullptr && appdata[0] != '\0') {
    paths.push_back(std::string(appdata) + "\\zolmek\\keymap.conf");
  }
  return paths;
}

KeymapFileRead ReadKeymapFile(const char* path, std::string& text,
                              std::string& reason) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    const int error = errno;
    reason = std::strerror(error);
    return error == ENOENT ? KeymapFileRead::kMissing : KeymapFileRead::kFailed;
  }
  struct _stat64 info;
  KeymapFileRead result = KeymapFileRead::kRead;
  text.resize(kKeymapFileLimit + 1);
  size_t got = 0;
  if (_fstat64(_fileno(file), &info) != 0 ||
      (info.st_mode & _S_IFMT) != _S_IFREG) {
    reason = "not a regular file";
    result = KeymapFileRead::kFailed;
  } else {
    got = std::fread(text.data(), 1, text.size(), file);
    if (std::ferror(file)) {
      reason = std::strerror(errno);
      result = KeymapFileRead::kFailed;
    }
  }
  text.resize(got);
  std::fclose(file);
  return result;
}
