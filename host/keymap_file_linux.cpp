// Where a key map is looked for, and reading it. The file is opened
// non-blocking and read only when it is a regular file: a FIFO of that name
// would otherwise hold the start (or a reload, between two scan passes)
// until a writer came.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/keymap.h"

std::vector<std::string> DefaultKeymapPaths(const EnvironmentLookup& env) {
  std::vector<std::string> paths;
  // The XDG base directory rules: a relative value is to be ignored. A
  // relative HOME would make the map depend on the working directory.
  const char* config = env("XDG_CONFIG_HOME");
  const char* home = env("HOME");
  if (config != nullptr && config[0] == '/') {
    paths.push_back(std::string(config) + "/zolmek/keymap.conf");
  } else if (home != nullptr && home[0] == '/') {
    paths.push_back(std::string(home) + "/.config/zolmek/keymap.conf");
  }
  paths.push_back("/etc/zolmek/keymap.conf");
  return paths;
}

KeymapFileRead ReadKeymapFile(const char* path, std::string& text,
                              std::string& reason) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    reason = std::strerror(error);
    return error == ENOENT || error == ENOTDIR ? KeymapFileRead::kMissing
                                               : KeymapFileRead::kFailed;
  }
  struct stat info;
  KeymapFileRead result = KeymapFileRead::kRead;
  if (fstat(fd, &info) != 0) {
    reason = std::strerror(errno);
    result = KeymapFileRead::kFailed;
  } else if (!S_ISREG(info.st_mode)) {
    reason =
        S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    result = KeymapFileRead::kFailed;
  }
  text.resize(kKeymapFileLimit + 1);
  size_t got = 0;
  while (result == KeymapFileRead::kRead && got < text.size()) {
    const ssize_t n = read(fd, text.data() + got, text.size() - got);
    if (n == 0) break;
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (errno != EINTR) {
      reason = std::strerror(errno);
      result = KeymapFileRead::kFailed;
    }
  }
  text.resize(got);
  close(fd);
  return result;
}
