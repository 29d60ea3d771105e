// Reading the key sound file. It is opened non-blocking and checked to be a
// regular file before anything is read: a FIFO of that name would otherwise
// block the start until a writer came, and a directory would fail oddly.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "host/host_output.h"

size_t ReadKeySoundFile(const char* name, uint8_t* buffer, size_t capacity) {
  const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return 0;
  }
  const size_t length = static_cast<size_t>(info.st_size);
  if (length > capacity) {
    // A cut image would end in the middle of its samples; refuse it whole.
    std::fprintf(stderr, "%s is larger than %zu bytes; the key sound is off.\n",
                 name, capacity);
    close(fd);
    return 0;
  }
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    close(fd);
    return 0;
  }
  // The file may shrink between fstat and the read; keep what arrived.
  const size_t got = std::fread(buffer, 1, length, file);
  std::fclose(file);
  return got;
}
