// How long before its deadline the millisecond wait stops sleeping and
// starts spinning. A sleep comes back late by however long the machine
// takes to wake the thread; the margin follows what the wait observes.
#pragma once

#include <cstdint>

// The cushion kept above the recent lateness, and the most the margin
// grows to.
constexpr int64_t kMaxSpinMarginNs = 500'000;
constexpr int64_t kSpinCushionNs = 5'000;
// How many of the latest wake-ups the margin follows.
constexpr int kSpinHistory = 64;

// The margin for these wake-ups' lateness (`count` of them, any order): the
// lateness that all but the latest fifth of them stayed within, plus the
// cushion. A wake-up later than that only makes its own wait run over by
// the difference, while a margin that chased every rare late wake-up (one
// in a hundred can come back ten times the median) would spin through most
// of every wait. At most kMaxSpinMarginNs: later than that, the machine is
// too busy for a spin to be on time either.
int64_t SpinMarginForNs(const int64_t* late_ns, int count);

// The margin the waits of the calling thread use now; starts at what a
// quiet machine needs.
int64_t SpinMarginNs();
// Feeds one of the calling thread's sleeps' lateness into SpinMarginNs.
void LearnFromWakeUp(int64_t late_ns);
