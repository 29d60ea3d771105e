// The helper thread on the C runtime's thread start. _beginthreadex rather
// than _beginthread: the handle _beginthread returns is closed by the
// runtime when the thread ends, so it cannot be waited on safely.
#include <process.h>
#include <windows.h>

#include "base/thread.h"

static HANDLE thread = nullptr;

// The probe's reader times its reads (100 ms) and its pause, so it ends
// within about 200 ms of being told to. Should it still run after this much
// longer, something below it hangs (a driver that ignores the cancelled
// read); it is ended by force then, so the program can still close the
// remote and exit.
constexpr DWORD kThreadExitBoundMs = 2000;

static unsigned __stdcall RunBody(void* body) {
  reinterpret_cast<ThreadBody>(body)();
  return 0;
}

bool StartThread(ThreadBody body) {
  const uintptr_t handle = _beginthreadex(
      nullptr, 0, RunBody, reinterpret_cast<void*>(body), 0, nullptr);
  thread = reinterpret_cast<HANDLE>(handle);
  return thread != nullptr;
}

void JoinThread() {
  if (thread == nullptr) return;
  if (WaitForSingleObject(thread, kThreadExitBoundMs) != WAIT_OBJECT_0) {
    TerminateThread(thread, 0xFFFFFFFF);
    WaitForSingleObject(thread, INFINITE);
  }
  CloseHandle(thread);
  thread = nullptr;
}
