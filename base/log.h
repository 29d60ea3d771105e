// Log lines for the service mode: one line per event, for whatever keeps the
// program running to collect. On Linux they go to stderr; under systemd
// (stderr is the journal's stream) each line starts with its sd-daemon
// priority ("<3>", "<4>", "<6>"), elsewhere with "zolmek: ". On Windows they
// go to stderr when there is one, else to %LOCALAPPDATA%\zolmek\zolmek.log,
// kept below 1 MiB, each line with its local time.
//
// Nothing a user types is ever logged: no key, no position, no legend.
#pragma once

#include <cstdarg>

enum class LogLevel { kError = 3, kWarning = 4, kInfo = 6 };

// Chooses where the lines go. Call once, before the first LogLine.
void OpenLog();

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void LogLine(LogLevel level, const char* format, ...);

// Platform: writes one finished line (no newline at its end).
void WriteLogLine(LogLevel level, const char* line);

// What a log line starts with on a stream: the journal's priority prefix
// when `journal` is set, else "zolmek: ".
const char* LogLinePrefix(LogLevel level, bool journal);
