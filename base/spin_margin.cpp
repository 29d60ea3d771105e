#include "base/spin_margin.h"

#include <atomic>

constexpr int64_t kStartSpinMarginNs = 150'000;
constexpr int64_t kShrinkDivisor = 32;

static std::atomic<int64_t> spin_margin_ns{kStartSpinMarginNs};

int64_t NextSpinMarginNs(int64_t margin_ns, int64_t late_ns) {
  const int64_t needed = (late_ns > 0 ? late_ns : 0) + kSpinCushionNs;
  int64_t next = needed > margin_ns
                     ? needed
                     : margin_ns - (margin_ns - needed) / kShrinkDivisor;
  if (next > kMaxSpinMarginNs) next = kMaxSpinMarginNs;
  return next;
}

int64_t SpinMarginNs() { return spin_margin_ns.load(); }

void LearnFromWakeUp(int64_t late_ns) {
  int64_t margin = spin_margin_ns.load();
  // Lost to a concurrent update: that one carries the news as well.
  spin_margin_ns.compare_exchange_strong(margin,
                                         NextSpinMarginNs(margin, late_ns));
}
