// The probe's reader thread, started and joined one at a time. (On Linux
// the console starts its signal watcher itself, with pthreads.)
#pragma once

using ThreadBody = void (*)();

// Runs `body` on a new thread with the default stack size. Returns false when
// the thread could not be started. One thread at a time: JoinThread before
// starting another.
bool StartThread(ThreadBody body);

// Waits for the thread to end, if one was started and not yet joined. On
// Windows a thread still running after 2 s is ended by force, so that a
// driver that ignores a cancelled read cannot hold the program.
void JoinThread();
