#include <pthread.h>

#include "remote/reader_thread.h"
#include "remote/remote_link.h"

static pthread_t reader_thread;
static bool reader_started = false;

static void* RunProbeReader(void*) {
  ProbeReader();
  return nullptr;
}

bool StartReaderThread() {
  reader_started =
      pthread_create(&reader_thread, nullptr, RunProbeReader, nullptr) == 0;
  return reader_started;
}

void JoinReaderThread() {
  if (!reader_started) return;
  pthread_join(reader_thread, nullptr);
  reader_started = false;
}
