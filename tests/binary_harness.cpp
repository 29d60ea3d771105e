#include "tests/binary_harness.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/user_terminal.h"

extern char** environ;

ZolmekProcess::ZolmekProcess(const Options& options) {
  char pattern[] = "/tmp/zolmek-run-XXXXXX";
  dir_ = mkdtemp(pattern);
  std::ofstream(dir_ + "/scenario") << options.scenario << "\n";
  if (options.with_sound_file) {
    std::filesystem::copy_file(ZOLMEK_KEY_SOUND, dir_ + "/test1.wav");
  }

  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq != nullptr)
      env[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
  }
  env.erase("DISPLAY");
  env.erase("WAYLAND_DISPLAY");
  env["LD_LIBRARY_PATH"] = ZOLMEK_EMULATOR_DIR;
  env["ZOLMEK_EMU_SCENARIO"] = dir_ + "/scenario";
  env["ZOLMEK_EMU_LOG"] = dir_ + "/reports";
  env["SDL_AUDIODRIVER"] = "dummy";
  if (options.with_uinput_shim) {
    env["LD_PRELOAD"] = ZOLMEK_UINPUT_SHIM;
    env["ZOLMEK_TEST_UINPUT_LOG"] = dir_ + "/uinput";
  }
  for (const auto& [name, value] : options.env) env[name] = value;
  std::vector<std::string> entries;
  for (const auto& [name, value] : env) entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);

  termios mode = UserTerminalMode();
  const std::string errors = dir_ + "/stderr";
  pid_ = forkpty(&master_, nullptr, &mode, nullptr);
  if (pid_ == 0) {
    if (chdir(dir_.c_str()) != 0) _exit(126);
    FILE* err = std::fopen(errors.c_str(), "w");
    if (err != nullptr) dup2(fileno(err), STDERR_FILENO);
    char* argv[] = {const_cast<char*>(ZOLMEK_BINARY), nullptr};
    execve(ZOLMEK_BINARY, argv, envp.data());
    _exit(127);
  }
  EXPECT_GT(pid_, 0) << "forkpty failed";
}

ZolmekProcess::~ZolmekProcess() {
  if (status_ == -1 && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
  if (!::testing::Test::HasFailure()) std::filesystem::remove_all(dir_);
}

void ZolmekProcess::Drain(int timeout_ms) {
  pollfd terminal = {master_, POLLIN, 0};
  if (poll(&terminal, 1, timeout_ms) <= 0) return;
  char bytes[4096];
  const ssize_t got = read(master_, bytes, sizeof bytes);
  if (got > 0) output_.append(bytes, static_cast<size_t>(got));
}

bool ZolmekProcess::WaitForOutput(const std::string& text,
                                  std::chrono::seconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (Output().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > end) {
      ADD_FAILURE() << "no \"" << text << "\" in:\n" << Output();
      return false;
    }
    Drain(50);
  }
  return true;
}

void ZolmekProcess::Type(const std::string& bytes) {
  EXPECT_EQ(write(master_, bytes.data(), bytes.size()),
            static_cast<ssize_t>(bytes.size()));
}

void ZolmekProcess::Signal(int signal_number) { kill(pid_, signal_number); }

int ZolmekProcess::Wait(std::chrono::seconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      ADD_FAILURE() << "zolmek did not end; output:\n" << Output();
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      return status_ = -1;
    }
    Drain(20);
  }
  for (size_t before = 0; before != output_.size();) {
    before = output_.size();
    Drain(0);
  }
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return status_;
}

std::string ZolmekProcess::Output() const {
  std::string text = output_;
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

std::string ZolmekProcess::Errors() const { return ReadFile(dir_ + "/stderr"); }

std::vector<std::string> ZolmekProcess::Reports() const {
  return ReadLines(dir_ + "/reports");
}

std::vector<std::string> ZolmekProcess::UinputEvents() const {
  return ReadLines(dir_ + "/uinput");
}
