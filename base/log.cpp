#include "base/log.h"

#include <cstdio>

const char* LogLinePrefix(LogLevel level, bool journal) {
  if (!journal) return "zolmek: ";
  switch (level) {
    case LogLevel::kError:
      return "<3>";
    case LogLevel::kWarning:
      return "<4>";
    case LogLevel::kInfo:
      break;
  }
  return "<6>";
}

void LogLine(LogLevel level, const char* format, ...) {
  // One event is one short line; a longer one (a long device path) is cut.
  char line[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  WriteLogLine(level, line);
}
