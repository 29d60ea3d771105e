// Log lines on stderr. systemd sets JOURNAL_STREAM to the device and inode
// of the stream it connects stderr to; when stderr is still that stream,
// the journal takes a leading "<N>" as the line's priority (sd-daemon(3)).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/log.h"

static bool to_journal = false;

static bool StderrIsTheJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (stream == nullptr) return false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
  struct stat info;
  if (fstat(STDERR_FILENO, &info) != 0) return false;
  return static_cast<unsigned long long>(info.st_dev) == device &&
         static_cast<unsigned long long>(info.st_ino) == inode;
}

void OpenLog() { to_journal = StderrIsTheJournal(); }

void WriteLogLine(LogLevel level, const char* line) {
  std::fprintf(stderr, "%s%s\n", LogLinePrefix(level, to_journal), line);
  std::fflush(stderr);
}
