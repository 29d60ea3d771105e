#include <pthread.h>

#include "base/thread.h"

static pthread_t thread;
static bool thread_started = false;

static void* RunBody(void* body) {
  reinterpret_cast<ThreadBody>(body)();
  return nullptr;
}

bool StartThread(ThreadBody body) {
  thread_started = pthread_create(&thread, nullptr, RunBody,
                                  reinterpret_cast<void*>(body)) == 0;
  return thread_started;
}

void JoinThread() {
  if (!thread_started) return;
  pthread_join(thread, nullptr);
  thread_started = false;
}
