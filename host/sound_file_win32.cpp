// Reading the key sound file: fopen("rb"), the length from the open
// descriptor, one fread of 1-byte items. Only a regular file is read: a
// device name such as "CON" or "NUL" opens fine on Windows and would block
// or read nothing.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>

#include "host/host_output.h"

size_t ReadKeySoundFile(const char* name, uint8_t* buffer, size_t capacity) {
  FILE* file = std::fopen(name, "rb");
  if (file == nullptr) return 0;
  struct _stat64 info;
  if (_fstat64(_fileno(file), &info) != 0 ||
      (info.st_mode & _S_IFMT) != _S_IFREG || info.st_size < 0) {
    std::fclose(file);
    return 0;
  }
  const unsigned long long length =
      static_cast<unsigned long long>(info.st_size);
  if (length > capacity) {
    // A cut image would end in the middle of its samples; refuse it whole.
    std::fprintf(stderr, "%s is larger than %zu bytes; the key sound is off.\n",
                 name, capacity);
    std::fclose(file);
    return 0;
  }
  // The file may shrink between the length and the read; keep what arrived.
  const size_t got = std::fread(buffer, 1, static_cast<size_t>(length), file);
  std::fclose(file);
  return got;
}
