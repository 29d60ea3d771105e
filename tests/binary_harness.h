// Runs the built zolmek binary under a pseudo-terminal against the emulator
// library, the way a user runs it, and collects what it did.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/expected_output.h"
#include "tests/pty_process.h"

class ZolmekProcess : public PtyProcess {
 public:
  struct Options {
    std::vector<std::string> args = {};
    std::map<std::string, std::string> files = {};  // written in the cwd
    std::string scenario = "";
    bool with_sound_file = false;  // copy the sample test1.wav into the cwd
    bool with_uinput_shim = true;
    std::map<std::string, std::string> env = {};  // added or overridden
  };

  explicit ZolmekProcess(const Options& options);
  // Keeps the run's folder when the test failed, for a look afterwards.
  ~ZolmekProcess();

  void Signal(int signal_number);
  std::vector<std::string> Reports() const;       // the emulator's log
  std::vector<std::string> UinputEvents() const;  // what the shim saw
  std::string Dir() const { return dir_; }

 private:
  std::string dir_;
};
