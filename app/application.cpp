// zolmek's main flow: key sound, remote, probe, banner, keypad, scan, and a
// quiet remote and expander at the end.
#include "app/application.h"

#include <cstdio>
#include <string>

#include "app/message_box.h"
#include "app/quit_policy.h"
#include "base/quit.h"
#include "base/stop.h"
#include "host/host_output.h"
#include "host/keymap.h"
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

// The two programs that share the remote's flow: the console program and
// the monitor. They differ in what they print first and in what the scan
// does with the keys.
struct RemoteFlow {
  void (*print_start)();
  void (*scan)();
};

// The keypad phase: from the banner to the quieted expander.
static void RunKeypadPhase(const RemoteFlow& flow) {
  flow.print_start();
  SetReportModeButtons();
  SetLeds(kAllPlayerLeds);
  const bool found = DetectKeypad();
  std::printf("\n");
  std::fflush(stdout);
  if (found) flow.scan();
  if (remote_lost) {
    std::fprintf(stderr, "Wii-Remote connection lost.\n");
  } else if (!found && !QuitRequestedWithoutConsole()) {
    ShowMessageBox("Zolmek is not found.");
  }
  SetLeds(PlayerLed(1));
  ReleaseExpander();
  SetReportModeButtons();
}

// Opens the remote, a Wii Remote Plus when there is no Wii Remote. What the
// transport had to say of each try (a remote it could not open, a kernel
// driver in the way) goes to stderr.
static HidHandle OpenRemote() {
  for (uint16_t product_id : {kRemoteProductId, kRemotePlusProductId}) {
    const HidHandle handle = OpenHidHandle(kRemoteVendorId, product_id);
    PrintHidNote();
    if (handle != -1) return handle;
  }
  return -1;
}

// From opening the remote to closing it; returns the exit status.
static int RunRemoteFlow(const RemoteFlow& flow) {
  remote_handle = OpenRemote();
  if (remote_handle == -1) {
    ShowMessageBox("Wii-Remote not found.");
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
    RunKeypadPhase(flow);
  }
  CloseHidHandle(remote_handle);
  remote_handle = -1;
  return 0;
}

int RunApplication(int, char**, char**) {
  InstallQuitPolicy();
  LoadKeySound();
  if (const char* problem = OpenKeystrokeDevice()) {
    std::fprintf(stderr, "%s\n", problem);
  }
  const int status = RunRemoteFlow({PrintBanner, ScanKeypad});
  CloseKeystrokeDevice();
  CloseKeySoundPlayer();
  return status;
}

// --- The monitor
// ----------------------------------------------------------------

static void PrintMonitorStart() {
  std::printf(
      "zolmek monitor: each switch of the keypad as it closes and opens, with "
      "its position,\nits legend and the key the key map gives it. Nothing "
      "is typed. Escape, Home or\nCtrl+C ends.\n");
  std::fflush(stdout);
}

static void ShowSwitch(int position, bool closed) {
  const char legend = KeyTable[position];
  const std::string name = PositionName(position, kKeypadColumns);
  if (closed) {
    std::printf("%s (%c) down -> %s\n", name.c_str(), legend,
                KeyNameAt(ActiveKeymap(), position, legend).c_str());
  } else {
    std::printf("%s (%c) up\n", name.c_str(), legend);
  }
  std::fflush(stdout);
}

static void ScanAndShowSwitches() {
  ScanKeypadWith({nullptr, ShowSwitch, nullptr});
}

int RunMonitor() {
  InstallQuitPolicy();
  return RunRemoteFlow({PrintMonitorStart, ScanAndShowSwitches});
}
