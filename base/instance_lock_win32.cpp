// The lock is a named mutex in the user's session ("Local\"), held by
// owning a handle to it: Windows lets it go when the holder ends, however
// it ends. A named block of memory beside it holds the holder's pid.
#include <windows.h>

#include "base/instance_lock.h"

static HANDLE lock_mutex = nullptr;
static HANDLE pid_block = nullptr;

static const char kMutexName[] = "Local\\zolmek-remote";
static const char kPidName[] = "Local\\zolmek-remote-pid";

long TakeInstanceLock() {
  if (lock_mutex != nullptr) return 0;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
  if (mutex == nullptr) return 0;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    HANDLE block = OpenFileMappingA(FILE_MAP_READ, FALSE, kPidName);
    if (block == nullptr) return -1;
    long pid = -1;
    if (const void* view =
            MapViewOfFile(block, FILE_MAP_READ, 0, 0, sizeof(DWORD))) {
      pid = static_cast<long>(*static_cast<const volatile DWORD*>(view));
      UnmapViewOfFile(view);
    }
    CloseHandle(block);
    return pid > 0 ? pid : -1;
  }
  lock_mutex = mutex;
  pid_block = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                 0, sizeof(DWORD), kPidName);
  if (pid_block != nullptr) {
    if (void* view =
            MapViewOfFile(pid_block, FILE_MAP_WRITE, 0, 0, sizeof(DWORD))) {
      *static_cast<volatile DWORD*>(view) = GetCurrentProcessId();
      UnmapViewOfFile(view);
    }
  }
  return 0;
}

void ReleaseInstanceLock() {
  if (pid_block != nullptr) CloseHandle(pid_block);
  if (lock_mutex != nullptr) CloseHandle(lock_mutex);
  pid_block = nullptr;
  lock_mutex = nullptr;
}
