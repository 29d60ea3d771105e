// Message boxes through SDL2 when there is a display to show them on; on a
// bare console the text goes to stderr as one line instead.
#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "app/message_box.h"

static bool HaveDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return true;
  }
  return false;
}

void ShowMessageBox(const char* text) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // as the sound player does
  // "Error" is the caption a box without one of its own gets on Windows.
  if (HaveDisplay() && SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error",
                                                text, nullptr) == 0) {
    return;
  }
  std::fprintf(stderr, "%s\n", text);
}
