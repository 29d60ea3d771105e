// A program started on a pseudo-terminal in a user's terminal mode, its
// stderr in a file: what both the host and the VM-guest harnesses run zolmek
// as. They differ only in how the child is set up before it execs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

class PtyProcess {
 public:
  // How long WaitForOutput waits for text, and Wait for the exit, before
  // they fail the test.
  PtyProcess(std::chrono::seconds output_deadline,
             std::chrono::seconds exit_deadline)
      : output_deadline_(output_deadline), exit_deadline_(exit_deadline) {}
  PtyProcess(const PtyProcess&) = delete;
  PtyProcess& operator=(const PtyProcess&) = delete;
  ~PtyProcess();  // Kill()s, and closes the terminal

  // Forks onto a new terminal; the child sends its stderr to `errors_path`
  // and runs `exec_child`, which must exec or _exit.
  void Start(const std::string& errors_path,
             const std::function<void()>& exec_child);

  // Reads the terminal until `text` has appeared (or the deadline passed,
  // which fails the test). Returns whether it appeared.
  bool WaitForOutput(const std::string& text);
  void Type(const std::string& bytes);
  // Waits for the exit and returns the status: the exit code, 128 + n after
  // signal n, or -1 when it did not end in time and had to be killed.
  int Wait();
  // Whether it still runs: not waited for, and not a zombie waiting for us.
  bool Running() const;

  // Terminal output so far, with the terminal's \r\n turned back into \n.
  std::string Output() const;
  std::string Errors() const;
  int Terminal() const { return master_; }
  pid_t Pid() const { return pid_; }

 protected:
  // Kills the program unless it was waited for; for a harness that must
  // have it gone before it cleans up after it.
  void Kill();

 private:
  void Drain(int timeout_ms);
  std::chrono::seconds output_deadline_;
  std::chrono::seconds exit_deadline_;
  std::string errors_path_;
  std::string output_;
  pid_t pid_ = -1;
  int master_ = -1;
  bool waited_ = false;
};
