// The liveness probe. An open handle does not prove the remote is talking:
// in accelerometer mode a live remote streams 0x31 reports with a non-zero
// X byte, so for just over 100 ms a reader thread takes reports, one per
// 100 ms pass, and the first one it takes decides.
#include <chrono>
#include <thread>

#include "app/wait.h"
#include "remote/reader_thread.h"
#include "remote/remote_link.h"

std::atomic<bool> probe_running{false};
std::atomic<bool> reader_active{false};

constexpr int32_t kProbeWindowMs = 100;
constexpr int kReaderPauseMs = 100;

bool ProbeRemote() {
  remote_state.accel_x = 0;
  probe_running = true;
  StartReaderThread();
  WaitMilliseconds(kProbeWindowMs);
  probe_running = false;
  return remote_state.accel_x != 0;
}

void ProbeReader() {
  while (probe_running) {
    reader_active = true;
    // Timed, so that a reader facing a silent remote still comes back to
    // see probe_running cleared and ends by itself.
    PollRemote(kProbeWindowMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(kReaderPauseMs));
  }
  reader_active = false;
}

void StopProbeReader() { JoinReaderThread(); }
