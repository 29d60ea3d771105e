#include "base/spin_margin.h"

#include <algorithm>

// The lateness assumed before a thread has slept: what a quiet machine
// shows, so the first waits neither spin long nor run over.
constexpr int64_t kStartLatenessNs = 145'000;

int64_t SpinMarginForNs(const int64_t* late_ns, int count) {
  if (count <= 0) return kStartLatenessNs + kSpinCushionNs;
  int64_t sorted[kSpinHistory];
  const int n = std::min(count, kSpinHistory);
  std::copy(late_ns, late_ns + n, sorted);
  int64_t* kept = sorted + (n - 1 - n / 5);
  std::nth_element(sorted, kept, sorted + n);
  const int64_t margin = std::max<int64_t>(*kept, 0) + kSpinCushionNs;
  return std::min(margin, kMaxSpinMarginNs);
}

// Each thread learns from its own wake-ups: no lock on the wait's path.
namespace {
struct WakeUps {
  int64_t late_ns[kSpinHistory];
  int next = 0;
  int64_t margin_ns;
  WakeUps() : margin_ns(kStartLatenessNs + kSpinCushionNs) {
    std::fill(late_ns, late_ns + kSpinHistory, kStartLatenessNs);
  }
};
thread_local WakeUps wake_ups;
}  // namespace

int64_t SpinMarginNs() { return wake_ups.margin_ns; }

void LearnFromWakeUp(int64_t late_ns) {
  wake_ups.late_ns[wake_ups.next] = late_ns;
  wake_ups.next = (wake_ups.next + 1) % kSpinHistory;
  wake_ups.margin_ns = SpinMarginForNs(wake_ups.late_ns, kSpinHistory);
}
