// Runs the built zolmek binary under a pseudo-terminal against the emulator
// library, the way a user runs it, and collects what it did.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "tests/expected_output.h"

class ZolmekProcess {
 public:
  struct Options {
    std::string scenario = "";
    bool with_sound_file = false;  // copy the sample test1.wav into the cwd
    bool with_uinput_shim = true;
    std::map<std::string, std::string> env = {};  // added or overridden
  };

  explicit ZolmekProcess(const Options& options);
  ~ZolmekProcess();

  // Reads the terminal until `text` has appeared (or the deadline passed,
  // which fails the test). Returns whether it appeared.
  bool WaitForOutput(const std::string& text,
                     std::chrono::seconds deadline = std::chrono::seconds(20));
  void Type(const std::string& bytes);
  void Signal(int signal_number);
  // Waits for the exit and returns the status (-1 when it had to be killed).
  int Wait(std::chrono::seconds deadline = std::chrono::seconds(30));

  // Terminal output so far, with the terminal's \r\n turned back into \n.
  std::string Output() const;
  std::string Errors() const;
  std::vector<std::string> Reports() const;       // the emulator's log
  std::vector<std::string> UinputEvents() const;  // what the shim saw
  std::string Dir() const { return dir_; }
  int Terminal() const { return master_; }
  pid_t Pid() const { return pid_; }

 private:
  void Drain(int timeout_ms);
  std::string dir_;
  std::string output_;
  pid_t pid_ = -1;
  int master_ = -1;
  int status_ = -1;
};
