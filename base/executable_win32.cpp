#include <windows.h>

#include "base/executable.h"

std::string ExecutableFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return "";
  const std::string program(path, length);
  const size_t slash = program.find_last_of("\\/");
  return slash == std::string::npos ? "" : program.substr(0, slash);
}
