// The liveness probe. An open handle does not prove the remote is talking:
// in accelerometer mode a live remote streams 0x31 reports with a non-zero
// X byte, so for just over 100 ms a reader thread takes reports, one per
// 100 ms pass, and the first one it takes decides.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/thread.h"
#include "base/wait.h"
#include "remote/remote_link.h"

// Set while the probe's window lasts; the reader runs while it is set.
static std::atomic<bool> probe_running{false};

constexpr int32_t kProbeWindowMs = 100;
constexpr int kReaderPauseMs = 100;

using Clock = std::chrono::steady_clock;

// When the window closes. A report the reader takes after that must not
// count; on a busy machine the reader can wake from its pause before the
// main thread, itself preempted, has cleared probe_running.
static std::atomic<Clock::rep> window_end{0};

// The reader's pause ends early when the probe is over, so that the main
// thread can wait for the reader to end before it writes to the remote.
static std::mutex pause_lock;
static std::condition_variable pause_over;

static void EndProbe() {
  {
    std::lock_guard<std::mutex> guard(pause_lock);
    probe_running = false;
  }
  pause_over.notify_all();
}

bool ProbeRemote() {
  remote_state.accel_x = 0;
  window_end = (Clock::now() + std::chrono::milliseconds(kProbeWindowMs))
                   .time_since_epoch()
                   .count();
  probe_running = true;
  StartThread(ProbeReader);
  WaitMilliseconds(kProbeWindowMs);
  EndProbe();
  return remote_state.accel_x != 0;
}

void ProbeReader() {
  while (probe_running) {
    // Timed to the end of the window, so that a reader facing a silent
    // remote comes back to see probe_running cleared and ends by itself,
    // and takes nothing after the window.
    const Clock::duration left =
        Clock::duration(window_end.load()) - Clock::now().time_since_epoch();
    const auto left_ms =
        std::chrono::ceil<std::chrono::milliseconds>(left).count();
    if (left_ms <= 0) break;
    PollRemote(static_cast<int32_t>(left_ms));
    std::unique_lock<std::mutex> pause(pause_lock);
    pause_over.wait_for(pause, std::chrono::milliseconds(kReaderPauseMs),
                        [] { return !probe_running; });
  }
}

void StopProbeReader() {
  EndProbe();
  JoinThread();
}
