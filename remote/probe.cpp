// The liveness probe. An open handle does not prove the remote is talking:
// in accelerometer mode a live remote streams 0x31 reports with a non-zero
// X byte, so for just over 100 ms a reader thread takes reports, one per
// 100 ms pass, and the first one it takes decides.
//
// The reader is started, and reading, before the report mode goes out: the
// remote's first report after the change then completes a read already
// waiting for it. Started after the change, the window also measured how
// long a thread takes to start and to wake; under wine on an emulated CPU
// that alone took most of the 100 ms. A report the reader takes before the
// change predates it and does not count.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/thread.h"
#include "base/wait.h"
#include "remote/remote_link.h"

// Set from the reader's start until the window is over; the reader runs
// while it is set.
static std::atomic<bool> probe_running{false};

constexpr int32_t kProbeWindowMs = 100;
constexpr int kReaderPauseMs = 100;

using Clock = std::chrono::steady_clock;

// Moments on the steady clock, 0 while not yet known. A report read before
// the mode went out is no evidence; one read after the window's end must
// not count either (on a busy machine the reader can come back before the
// main thread, itself preempted, has ended the probe).
static std::atomic<Clock::rep> mode_sent_at{0};
static std::atomic<Clock::rep> window_end{0};

// The reader's pause ends early when the probe is over, so that the main
// thread can wait for the reader to end before it writes to the remote.
static std::mutex pause_lock;
static std::condition_variable pause_over;

// Main thread only: whether a reader was started and not yet joined.
static bool reader_started = false;

static Clock::rep Now() { return Clock::now().time_since_epoch().count(); }

static void EndProbe() {
  {
    std::lock_guard<std::mutex> guard(pause_lock);
    probe_running = false;
  }
  pause_over.notify_all();
}

static void StartReader() {
  remote_state.accel_x = 0;
  window_end = 0;
  probe_running = true;
  reader_started = StartThread(ProbeReader);
}

void StartProbeReader() {
  mode_sent_at = 0;
  StartReader();
  mode_sent_at = Now();  // the caller sends the report mode next
}

bool ProbeRemote() {
  if (!reader_started) {
    // The mode was set already: whatever the reader takes comes after it.
    mode_sent_at = Now();
    StartReader();
  }
  window_end = (Clock::now() + std::chrono::milliseconds(kProbeWindowMs))
                   .time_since_epoch()
                   .count();
  WaitMilliseconds(kProbeWindowMs);
  EndProbe();
  return remote_state.accel_x != 0;
}

// How long the next read may take: until the window's end once it is
// known, a window's length before (the mode is being sent). 0 when the
// window is over.
static int32_t NextReadTimeoutMs() {
  const Clock::rep end = window_end.load();
  if (end == 0) return kProbeWindowMs;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(Clock::duration(end - Now()))
          .count();
  return left > 0 ? static_cast<int32_t>(left) : 0;
}

void ProbeReader() {
  while (probe_running) {
    const int32_t timeout_ms = NextReadTimeoutMs();
    if (timeout_ms == 0) break;
    const int32_t length = ReadRemoteReport(timeout_ms);
    if (length < 0) break;  // the remote is gone
    if (length == 0) continue;
    const Clock::rep read_at = Now();
    const Clock::rep sent = mode_sent_at.load();
    if (sent == 0 || read_at < sent) continue;  // from before the change
    const Clock::rep end = window_end.load();
    if (end != 0 && read_at > end) break;
    TakeRemoteReport(length);
    std::unique_lock<std::mutex> pause(pause_lock);
    pause_over.wait_for(pause, std::chrono::milliseconds(kReaderPauseMs),
                        [] { return !probe_running; });
  }
}

void StopProbeReader() {
  EndProbe();
  JoinThread();
  reader_started = false;
}
