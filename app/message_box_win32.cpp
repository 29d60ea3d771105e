// Message boxes: MessageBoxA with no owner, no caption of our own (Windows
// shows its default "Error") and a single OK button. It blocks until the
// user dismisses it.
#include <windows.h>

#include <cstdio>

#include "app/message_box.h"

void ShowMessageBox(const char* text) {
  // Where no box can be shown (a service, a session without a desktop,
  // wine without a display) MessageBoxA fails at once; the message must
  // still reach the user, so it goes to stderr as on a bare Linux console.
  if (MessageBoxA(nullptr, text, nullptr, MB_OK) == IDOK) return;
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
}
