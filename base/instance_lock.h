// One remote, one zolmek: a lock that each zolmek which talks to the remote
// holds for its whole run, so that a second one (a console zolmek started
// while the service runs, say) says so instead of fighting the first for
// the remote's replies. Linux: a file lock in $XDG_RUNTIME_DIR (or /tmp),
// the holder's pid inside. Windows: a named mutex of the user's session and
// a named block of memory that holds the holder's pid.
#pragma once

// 0 when this process now holds the lock (or no lock can be had at all: the
// run goes on without one); otherwise the pid of the zolmek that holds it,
// or -1 when it holds it but its pid cannot be read.
long TakeInstanceLock();

// Gives the lock back; safe to call when it was not taken.
void ReleaseInstanceLock();
