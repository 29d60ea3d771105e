#pragma once

// Starts ProbeReader on a thread of its own. Returns false when the thread
// could not be started (the probe then finds the remote silent).
bool StartReaderThread();

// Waits for the reader thread to end, if one was started and not yet joined.
void JoinReaderThread();
