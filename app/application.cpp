// zolmek's main flow: key sound, remote, probe, banner, keypad, scan, and a
// quiet remote and expander at the end.
#include "app/application.h"

#include <cstdio>

#include "app/message_box.h"
#include "app/quit_policy.h"
#include "base/quit.h"
#include "base/stop.h"
#include "host/host_output.h"
#include "keypad/keypad.h"
#include "remote/remote_link.h"

static const char* const kBanner[] = {
    "###########################################\n",
    "#                                         #\n",
    "#   Wii-Zolmek Test version 0.1           #\n",
    "#                  build 2007.2.11        #\n",
    "#                                         #\n",
    "###########################################\n",
    "\n",
    "Usage:\n",
    "   Home button  ... Quit\n",
    "\n",
};

// What the transport had to say about the open it was just asked for (a
// remote it could not open, a kernel driver in the way), on stderr.
static void PrintHidNote() {
  char note[ZOLMEK_HID_TEXT_SIZE];
  if (GetHidNote(note, sizeof note) > 0) std::fprintf(stderr, "%s\n", note);
}

static void PrintBanner() {
  for (const char* line : kBanner) std::printf("%s", line);
  std::fflush(stdout);
}

// The keypad phase: from the banner to the quieted expander.
static void RunKeypadPhase() {
  PrintBanner();
  SetReportModeButtons();
  SetLeds(kAllPlayerLeds);
  const bool found = DetectKeypad();
  std::printf("\n");
  std::fflush(stdout);
  if (found) ScanKeypad();
  if (remote_lost) {
    std::fprintf(stderr, "Wii-Remote connection lost.\n");
  } else if (!found && !QuitRequestedWithoutConsole()) {
    ShowMessageBox("Zolmek is not found.");
  }
  SetLeds(PlayerLed(1));
  ReleaseExpander();
  SetReportModeButtons();
}

int RunApplication(int, char**, char**) {
  InstallQuitPolicy();
  LoadKeySound();
  OpenKeystrokeDevice();
  remote_handle = OpenHidHandle(kRemoteVendorId, kRemoteProductId);
  PrintHidNote();
  if (remote_handle == -1) {
    remote_handle = OpenHidHandle(kRemoteVendorId, kRemotePlusProductId);
    PrintHidNote();
  }
  if (remote_handle == -1) {
    ShowMessageBox("Wii-Remote not found.");
    CloseKeystrokeDevice();
    CloseKeySoundPlayer();
    return 1;
  }
  StartProbeReader();
  SetReportModeAccel();
  const bool alive = ProbeRemote();
  // The reader is gone before anything more goes to the remote: it must not
  // take the answer to the first register read.
  StopProbeReader();
  if (!alive) {
    ShowMessageBox("Wii-Remote cannot open.");
  } else if (stop_requested) {
    // Stopped before anything was printed: only the report mode was changed.
    SetReportModeButtons();
  } else {
    RunKeypadPhase();
  }
  CloseHidHandle(remote_handle);
  remote_handle = -1;
  CloseKeystrokeDevice();
  CloseKeySoundPlayer();
  return 0;
}
