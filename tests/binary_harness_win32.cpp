#include "tests/binary_harness_win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

const ConsoleKey kEscape = {VK_ESCAPE, 0x1B};
const ConsoleKey kCtrlC = {'C', 0x03, LEFT_CTRL_PRESSED};

namespace {

// The build passes Unix paths; wine shows the Unix root as drive Z:.
std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

HANDLE ConsoleInput() {
  static HANDLE input = [] {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       OPEN_EXISTING, 0, nullptr);
  }();
  return input;
}

// --- The keyboard hook, on a thread of its own with a message loop --------
std::mutex keys_lock;
std::vector<InjectedKey> keys_seen;

LRESULT CALLBACK RecordKey(int code, WPARAM message, LPARAM data) {
  if (code == HC_ACTION) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
    std::lock_guard<std::mutex> guard(keys_lock);
    keys_seen.push_back({message == WM_KEYDOWN || message == WM_SYSKEYDOWN,
                         key->vkCode, key->scanCode, key->flags});
  }
  return CallNextHookEx(nullptr, code, message, data);
}

DWORD WINAPI RunHook(void* ready) {
  SetWindowsHookExA(WH_KEYBOARD_LL, RecordKey, GetModuleHandleA(nullptr), 0);
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists
  SetEvent(static_cast<HANDLE>(ready));
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

void StartHookOnce() {
  static const bool started = [] {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(CreateThread(nullptr, 0, RunHook, ready, 0, nullptr));
    WaitForSingleObject(ready, 5000);
    CloseHandle(ready);
    return true;
  }();
  (void)started;
}

// A Ctrl+C typed into the shared console reaches every process on it,
// this one too. A handler (unlike the ignore flag, which children inherit)
// keeps it here without changing how the program sees it.
BOOL WINAPI KeepRunning(DWORD) { return TRUE; }

HANDLE CreateInheritable(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, 0, nullptr);
}

std::string WithoutCarriageReturns(std::string text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

ZolmekProcess::ZolmekProcess(const Options& options) {
  StartHookOnce();
  static const bool handler_set = SetConsoleCtrlHandler(KeepRunning, TRUE);
  (void)handler_set;
  {
    std::lock_guard<std::mutex> guard(keys_lock);
    keys_seen.clear();
  }
  static int runs = 0;
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  dir_ = std::string(temp) + "zolmek-run-" +
         std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++runs);
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directory(dir_);
  CopyFileA(WindowsPath(ZOLMEK_BINARY).c_str(), (dir_ + "\\zolmek.exe").c_str(),
            FALSE);
  const std::string dll = options.transport_dll.empty()
                              ? std::string(ZOLMEK_EMULATOR_DLL)
                              : options.transport_dll;
  CopyFileA(WindowsPath(dll).c_str(), (dir_ + "\\zolmek-hid.dll").c_str(),
            FALSE);
  if (options.with_sound_file) {
    CopyFileA(WindowsPath(ZOLMEK_KEY_SOUND).c_str(),
              (dir_ + "\\test1.wav").c_str(), FALSE);
  }
  std::ofstream(dir_ + "\\scenario.txt") << options.scenario << "\n";
  for (const auto& [name, text] : options.files) {
    std::ofstream(dir_ + "\\" + name) << text;
  }

  // Nothing left over from an earlier run may reach this one.
  FlushConsoleInputBuffer(ConsoleInput());
  Type(options.keys_before_start);

  SetEnvironmentVariableA("ZOLMEK_EMU_SCENARIO", "scenario.txt");
  SetEnvironmentVariableA("ZOLMEK_EMU_LOG", "reports.txt");
  HANDLE out = CreateInheritable(dir_ + "\\out.txt");
  HANDLE err = CreateInheritable(dir_ + "\\err.txt");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ConsoleInput();
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::string command = "\"" + dir_ + "\\zolmek.exe\"";
  for (const std::string& arg : options.args) command += " \"" + arg + "\"";
  // Its own process group, so that Ctrl+Break reaches it and not us. wine
  // answers ERROR_INTERNAL_ERROR when its new process died before it ran a
  // line of the program (seen once, with the other tests' wine processes
  // busy): that start is wine's failure, not zolmek's, and is made once
  // more, saying so.
  auto start = [&] {
    return CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                          CREATE_NEW_PROCESS_GROUP, nullptr, dir_.c_str(),
                          &startup, &process_);
  };
  BOOL started = start();
  if (!started && GetLastError() == ERROR_INTERNAL_ERROR) {
    std::fprintf(stderr, "wine could not start %s (error 1359); again\n",
                 command.c_str());
    started = start();
  }
  CloseHandle(out);
  CloseHandle(err);
  if (!started) {
    ADD_FAILURE() << "cannot start " << command << ": " << GetLastError();
    ended_ = true;
  }
}

ZolmekProcess::~ZolmekProcess() {
  if (!ended_) Wait(0);
  if (process_.hProcess != nullptr) {
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

bool ZolmekProcess::WaitForOutput(const std::string& text, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    if (Output().find(text) != std::string::npos) return true;
    if (GetTickCount64() >= end) {
      ADD_FAILURE() << "no \"" << text << "\" in: " << Output();
      return false;
    }
    Sleep(10);
  }
}

void ZolmekProcess::Type(const std::vector<ConsoleKey>& keys) {
  for (const ConsoleKey& key : keys) {
    INPUT_RECORD records[2] = {};
    for (int i = 0; i < 2; ++i) {
      KEY_EVENT_RECORD& event = records[i].Event.KeyEvent;
      records[i].EventType = KEY_EVENT;
      event.bKeyDown = i == 0;
      event.wRepeatCount = 1;
      event.wVirtualKeyCode = key.virtual_key;
      event.wVirtualScanCode =
          static_cast<WORD>(MapVirtualKeyA(key.virtual_key, MAPVK_VK_TO_VSC));
      event.uChar.AsciiChar = key.character;
      event.dwControlKeyState = key.control_state;
    }
    DWORD written = 0;
    EXPECT_TRUE(WriteConsoleInputA(ConsoleInput(), records, 2, &written) &&
                written == 2)
        << "console input: " << GetLastError();
  }
}

bool ZolmekProcess::Running() const {
  return !ended_ && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

int ZolmekProcess::Wait(DWORD timeout_ms) {
  if (ended_) return static_cast<int>(status_);
  ended_ = true;
  if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) {
    TerminateProcess(process_.hProcess, 0xFF);
    WaitForSingleObject(process_.hProcess, INFINITE);
    status_ = static_cast<DWORD>(-1);
    return -1;
  }
  GetExitCodeProcess(process_.hProcess, &status_);
  return static_cast<int>(status_);
}

std::string ZolmekProcess::Output() const {
  return WithoutCarriageReturns(ReadWholeFile(dir_ + "\\out.txt"));
}

std::string ZolmekProcess::Errors() const {
  return WithoutCarriageReturns(ReadWholeFile(dir_ + "\\err.txt"));
}

std::vector<std::string> ZolmekProcess::Reports() const {
  std::istringstream text(
      WithoutCarriageReturns(ReadWholeFile(dir_ + "\\reports.txt")));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

std::vector<InjectedKey> ZolmekProcess::Keys() const {
  // The hook runs on its own thread; give the last events time to land.
  Sleep(100);
  std::lock_guard<std::mutex> guard(keys_lock);
  return keys_seen;
}
