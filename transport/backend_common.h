// What the platform backends of the transport share: the rules of
// WaitForHidDevice over a platform's own watch, and handing text to the
// caller.
#pragma once

#include <stdint.h>
#include <string.h>

// Copies `text` to the caller's buffer; -1 when it does not fit whole.
inline int32_t CopyOut(const char* text, char* buffer, int32_t size) {
  const size_t length = strlen(text);
  if (buffer == nullptr || size <= 0 || length >= static_cast<size_t>(size)) {
    return -1;
  }
  memcpy(buffer, text, length + 1);
  return static_cast<int32_t>(length);
}

// Without a watch the wait says 1 once a second: the caller enumerates
// once a second.
inline constexpr int64_t kNoWatchTickMs = 1000;
inline constexpr int64_t kNoDeadline = INT64_MAX;

struct WaitState {
  bool started = false;
  bool watching = false;     // the platform's watch could be had
  int64_t next_tick_ms = 0;  // without it: when to say 1 again
};

// WaitForHidDevice on a platform `p` that offers
//   bool Start()              begins watching; false when it cannot
//   bool Present()            a matching device is there now
//   bool TakeArrivals()       a matching device came since the last call
//   int Sleep(int64_t until)  sleeps until then (kNoDeadline: no limit), or
//                             until the watch has news: 1; 0 when the time
//                             ran out, -1 when a signal came
//   int64_t NowMs()           a monotonic clock
// The first call begins the watch and says 1 when a device is already
// there, as it may have come before the watch began.
template <typename Platform>
int32_t WaitByRules(WaitState& state, Platform& p, int32_t timeout_ms) {
  const int64_t deadline =
      timeout_ms < 0 ? kNoDeadline : p.NowMs() + timeout_ms;
  if (!state.started) {
    state.started = true;
    state.watching = p.Start();
    state.next_tick_ms = p.NowMs();
    if (state.watching && p.Present()) return 1;
  }
  for (;;) {
    const int64_t now = p.NowMs();
    if (state.watching) {
      if (p.TakeArrivals()) return 1;
      if (now >= deadline) return 0;
      if (p.Sleep(deadline) <= 0) return 0;
    } else {
      if (now >= state.next_tick_ms) {
        state.next_tick_ms = now + kNoWatchTickMs;
        return 1;
      }
      if (now >= deadline) return 0;
      if (p.Sleep(state.next_tick_ms < deadline ? state.next_tick_ms
                                                : deadline) < 0) {
        return 0;
      }
    }
  }
}
