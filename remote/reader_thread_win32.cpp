// The probe's reader thread on the C runtime's thread start. _beginthreadex
// rather than _beginthread: the handle _beginthread returns is closed by the
// runtime when the thread ends, so it cannot be waited on safely.
#include <process.h>
#include <windows.h>

#include "remote/reader_thread.h"
#include "remote/remote_link.h"

static HANDLE reader_thread = nullptr;

// The reader's reads are timed (100 ms) and so is its pause, so it leaves
// its loop within about 200 ms of probe_running being cleared. Should it
// still be inside after this much longer, something below it hangs (a
// driver that ignores the cancelled read); it is ended by force then, so
// the program can still close the remote and exit.
constexpr DWORD kReaderExitBoundMs = 2000;

static unsigned __stdcall RunProbeReader(void*) {
  ProbeReader();
  return 0;
}

bool StartReaderThread() {
  const uintptr_t handle =
      _beginthreadex(nullptr, 0, RunProbeReader, nullptr, 0, nullptr);
  reader_thread = reinterpret_cast<HANDLE>(handle);
  return reader_thread != nullptr;
}

void JoinReaderThread() {
  if (reader_thread == nullptr) return;
  if (WaitForSingleObject(reader_thread, kReaderExitBoundMs) != WAIT_OBJECT_0) {
    TerminateThread(reader_thread, 0xFFFFFFFF);
    WaitForSingleObject(reader_thread, INFINITE);
    reader_active = false;
  }
  CloseHandle(reader_thread);
  reader_thread = nullptr;
}
