// Log lines on Windows. zolmek.exe started from a console writes them to
// stderr; zolmekw.exe, the same program without a console (started at
// logon from the Run key), writes them to %LOCALAPPDATA%\zolmek\zolmek.log,
// each with its local time. Which one is told by the console, not by
// stderr: wine hands a GUI program the terminal's stderr too. The file is
// kept below 1 MiB: when a line would take it past, it becomes
// zolmek.log.1 (replacing the one before) and a new file begins.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/log.h"

constexpr long kLogFileLimit = 1024 * 1024;

static std::string log_path;  // empty: stderr

void OpenLog() {
  if (GetConsoleWindow() != nullptr) return;
  const char* local = std::getenv("LOCALAPPDATA");
  if (local == nullptr || local[0] == '\0') return;
  const std::string folder = std::string(local) + "\\zolmek";
  CreateDirectoryA(folder.c_str(), nullptr);
  log_path = folder + "\\zolmek.log";
}

static void WriteToFile(LogLevel level, const char* line) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[640];
  const int length = std::snprintf(
      text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u %s%s\r\n", now.wYear,
      now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
      level == LogLevel::kError     ? "error: "
      : level == LogLevel::kWarning ? "warning: "
                                    : "",
      line);
  if (length <= 0) return;
  FILE* file = std::fopen(log_path.c_str(), "ab");
  if (file == nullptr) return;
  std::fseek(file, 0, SEEK_END);
  if (std::ftell(file) + length > kLogFileLimit) {
    std::fclose(file);
    const std::string old = log_path + ".1";
    MoveFileExA(log_path.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING);
    file = std::fopen(log_path.c_str(), "ab");
    if (file == nullptr) return;
  }
  std::fwrite(text, 1, static_cast<size_t>(length), file);
  std::fclose(file);
}

void WriteLogLine(LogLevel level, const char* line) {
  if (!log_path.empty()) {
    WriteToFile(level, line);
    return;
  }
  std::fprintf(stderr, "%s%s\n", LogLinePrefix(level, false), line);
  std::fflush(stderr);
}
