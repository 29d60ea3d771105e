#pragma once

// Shows `text` to the user and returns once it has been dismissed: a modal
// box where the desktop allows one, else one line on stderr.
void ShowMessageBox(const char* text);
