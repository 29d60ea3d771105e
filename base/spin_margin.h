// How long before its deadline the millisecond wait stops sleeping and
// starts spinning. A sleep comes back late by however long the machine
// takes to wake the thread; the margin follows what the wait observes.
#pragma once

#include <cstdint>

// The cushion kept above the latest lateness, and the most the margin
// grows to.
constexpr int64_t kMaxSpinMarginNs = 500'000;
constexpr int64_t kSpinCushionNs = 20'000;

// The margin after a sleep that came back `late_ns` after its moment: up at
// once to cover that lateness and the cushion, and otherwise down by 1/32
// of the way to it, so that it settles near the lateness that only about
// one wake-up in a hundred exceeds (a prompt wake-up after a late one does
// not undo the lesson). At most kMaxSpinMarginNs: later than that, the
// machine is too busy for a spin to be on time either, and a 1 ms wait
// still sleeps, so the margin can come down again.
int64_t NextSpinMarginNs(int64_t margin_ns, int64_t late_ns);

// The margin the waits of this process use now; starts at what a quiet
// machine needs.
int64_t SpinMarginNs();
// Feeds one sleep's lateness into SpinMarginNs.
void LearnFromWakeUp(int64_t late_ns);
