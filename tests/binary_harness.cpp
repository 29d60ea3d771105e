#include "tests/binary_harness.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

extern char** environ;

ZolmekProcess::ZolmekProcess(const Options& options)
    : PtyProcess(std::chrono::seconds(20), std::chrono::seconds(30)) {
  char pattern[] = "/tmp/zolmek-run-XXXXXX";
  dir_ = mkdtemp(pattern);
  std::ofstream(dir_ + "/scenario") << options.scenario << "\n";
  for (const auto& [name, text] : options.files) {
    std::ofstream(dir_ + "/" + name) << text;
  }
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
  // A session of its own: the remote's lock, and no key map of the user's.
  env["XDG_RUNTIME_DIR"] = dir_;
  env["XDG_CONFIG_HOME"] = dir_;
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

  Start(dir_ + "/stderr", [&] {
    if (chdir(dir_.c_str()) != 0) _exit(126);
    std::vector<char*> argv = {const_cast<char*>(ZOLMEK_BINARY)};
    for (const std::string& arg : options.args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    execve(ZOLMEK_BINARY, argv.data(), envp.data());
  });
}

ZolmekProcess::~ZolmekProcess() {
  Kill();
  if (!::testing::Test::HasFailure()) std::filesystem::remove_all(dir_);
}

void ZolmekProcess::Signal(int signal_number) { kill(Pid(), signal_number); }

std::vector<std::string> ZolmekProcess::Reports() const {
  return ReadLines(dir_ + "/reports");
}

std::vector<std::string> ZolmekProcess::UinputEvents() const {
  return ReadLines(dir_ + "/uinput");
}
