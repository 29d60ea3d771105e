// The console on Linux: termios for a terminal, plain reads for a pipe, and
// signals turned into an orderly end.
//
// SIGINT, SIGTERM, SIGHUP and SIGQUIT are blocked in every thread and taken
// by a watcher thread with sigwait(). A handler would interrupt the blocking
// HID reads with EINTR, which hidapi reports as a failed read, i.e. as a
// lost remote. The watcher also takes SIGTSTP and SIGCONT: the terminal
// goes back to the shell's mode before the program stops (Ctrl+Z) and to
// zolmek's when it is continued in the foreground (fg).

// C library
#include <csignal>
#include <cstdlib>
// Unix
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <initializer_list>

#include "base/console.h"
#include "base/stop.h"
#include "base/terminal_keys.h"
#include "base/terminal_mode.h"

static termios saved_terminal;
static termios zolmek_terminal;  // the mode set, for after a stop
static std::atomic<bool> terminal_changed{false};
static bool console_closed = false;  // end of input: stop looking

// Where the last bytes read left the key parser: a sequence can be cut in
// two by a read.
static TerminalKeyParse key_parse;

// A lone Escape and the start of an arrow key's "ESC [ A" look alike until
// the next byte; a terminal sends a sequence in one write, so a short grace
// period tells them apart.
constexpr int kEscapeGraceMs = 20;

void RestoreConsole() {
  if (terminal_changed.exchange(false)) {
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
  }
}

// Ctrl+Z: the shell's mode back, then stop as the default action would
// (SIGSTOP, since SIGTSTP itself is blocked here). Continued, the watcher
// sees SIGCONT and sets zolmek's mode again, unless the program now runs in
// the background, where touching the terminal would stop it once more.
static void StopWithTheShellsMode() {
  if (terminal_changed.load()) {
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
  }
  kill(getpid(), SIGSTOP);
}

static void TakeTheTerminalAgain() {
  if (terminal_changed.load() && tcgetpgrp(STDIN_FILENO) == getpgrp()) {
    tcsetattr(STDIN_FILENO, TCSANOW, &zolmek_terminal);
  }
}

// In the service mode SIGHUP asks for a reload, not a stop.
static std::atomic<bool> hangup_reloads{false};

static void* WatchSignals(void* arg) {
  const sigset_t* set = static_cast<const sigset_t*>(arg);
  for (;;) {
    int signal_number = 0;
    if (sigwait(set, &signal_number) != 0) continue;
    if (signal_number == SIGHUP && hangup_reloads) {
      reload_requested = true;
      continue;
    }
    if (signal_number == SIGTSTP) {
      StopWithTheShellsMode();
      continue;
    }
    if (signal_number == SIGCONT) {
      TakeTheTerminalAgain();
      continue;
    }
    if (!stop_requested.exchange(true)) continue;
    // Asked twice: the orderly end is stuck somewhere (a message box the
    // user does not answer, say). Give the terminal back and go.
    RestoreConsole();
    _exit(128 + signal_number);
  }
  return nullptr;
}

// A crash must not leave the terminal without echo.
static void RestoreAndDie(int signal_number) {
  if (terminal_changed.load()) {
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
  }
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

static void WatchStopSignals() {
  static sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  sigaddset(&stop_signals, SIGQUIT);
  sigaddset(&stop_signals, SIGTSTP);
  sigaddset(&stop_signals, SIGCONT);
  // Every thread started from here on inherits the mask.
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  pthread_t watcher;
  if (pthread_create(&watcher, nullptr, WatchSignals, &stop_signals) == 0) {
    pthread_detach(watcher);
  }
  for (int fatal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
    signal(fatal, RestoreAndDie);
  }
}

void OpenServiceSignals() {
  hangup_reloads = true;
  WatchStopSignals();
}

void OpenConsole() {
  WatchStopSignals();
  // Reads must not wait: the scan looks at the console once per pass.
  if (EnterSingleKeyMode(STDIN_FILENO, 0, saved_terminal, zolmek_terminal)) {
    terminal_changed = true;
  }
}

// Reads what is waiting, at most `wait_ms` for the first byte. Returns the
// byte count, 0 when nothing came; marks the console closed at end of input.
static ssize_t ReadConsoleBytes(unsigned char* bytes, size_t size,
                                int wait_ms) {
  pollfd input = {STDIN_FILENO, POLLIN, 0};
  if (poll(&input, 1, wait_ms) <= 0) return 0;
  const ssize_t got = read(STDIN_FILENO, bytes, size);
  if (got == 0 || (got < 0 && (input.revents & (POLLHUP | POLLERR)) != 0)) {
    console_closed = true;
  }
  return got > 0 ? got : 0;
}

int PollConsoleKey() {
  if (console_closed) return kNoKey;
  unsigned char bytes[64];
  ssize_t got = ReadConsoleBytes(bytes, sizeof bytes, 0);
  bool any_key = false;
  bool escape = false;
  while (got > 0) {
    for (ssize_t i = 0; i < got; ++i) {
      const TerminalKey key = FeedTerminalKeyByte(key_parse, bytes[i]);
      if (key == TerminalKey::kLoneEscape) {
        escape = true;
      } else if (key != TerminalKey::kNone) {
        any_key = true;  // a byte, Alt+key, an arrow or function key
      }
    }
    got = 0;
    if (key_parse.state == TerminalKeyParse::State::kAfterEscape) {
      got = ReadConsoleBytes(bytes, sizeof bytes, kEscapeGraceMs);
      if (got == 0 && EndPendingEscape(key_parse) == TerminalKey::kLoneEscape) {
        escape = true;
      }
    }
  }
  if (escape) return kEscapeKey;
  return any_key ? kOtherKey : kNoKey;
}
