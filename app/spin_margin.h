// How long before its deadline the millisecond wait stops sleeping and
// starts spinning. A sleep comes back late by however long the machine
// takes to wake the thread; the margin follows what the wait observes.
#pragma once

#include <cstdint>

// Bounds of the margin, and the cushion kept above the latest lateness.
constexpr int64_t kMinSpinMarginNs = 30'000;
constexpr int64_t kMaxSpinMarginNs = 2'000'000;
constexpr int64_t kSpinCushionNs = 40'000;

// The margin after a sleep that came back `late_ns` after its moment: up at
// once to cover that lateness and the cushion, and otherwise down by 1/64
// of the way to it, so that one prompt wake-up after a late one does not
// undo the lesson. Clamped to the bounds.
int64_t NextSpinMarginNs(int64_t margin_ns, int64_t late_ns);

// The margin the waits of this process use now; starts at what a quiet
// machine needs.
int64_t SpinMarginNs();
// Feeds one sleep's lateness into SpinMarginNs.
void LearnFromWakeUp(int64_t late_ns);
