// The lock is flock(2) on $XDG_RUNTIME_DIR/zolmek.lock: the kernel lets it
// go when the holder ends, however it ends, so a crashed zolmek never
// leaves a stale lock behind. The file holds the holder's pid as text.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/instance_lock.h"

static int lock_fd = -1;

static std::string LockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    return std::string(runtime) + "/zolmek.lock";
  }
  return "/tmp/zolmek-" + std::to_string(getuid()) + ".lock";
}

long TakeInstanceLock() {
  if (lock_fd >= 0) return 0;
  const std::string path = LockPath();
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    char text[32] = {};
    const ssize_t got = pread(fd, text, sizeof text - 1, 0);
    close(fd);
    const long pid = got > 0 ? std::strtol(text, nullptr, 10) : 0;
    return pid > 0 ? pid : -1;
  }
  char text[32];
  const int length =
      std::snprintf(text, sizeof text, "%ld\n", static_cast<long>(getpid()));
  if (ftruncate(fd, 0) != 0 ||
      pwrite(fd, text, static_cast<size_t>(length), 0) < 0) {
    // The lock holds without the pid; a second zolmek then says so.
  }
  lock_fd = fd;
  return 0;
}

void ReleaseInstanceLock() {
  if (lock_fd < 0) return;
  close(lock_fd);  // lets the lock go
  lock_fd = -1;
}
