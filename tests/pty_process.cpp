#include "tests/pty_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "tests/expected_output.h"

using Clock = std::chrono::steady_clock;

// The terminal mode a user's shell leaves: canonical, echoing, Ctrl+C as
// SIGINT. The program starts on such a terminal, so that what it changes
// (and must restore) is visible.
static termios UserTerminalMode() {
  termios mode;
  std::memset(&mode, 0, sizeof mode);
  mode.c_iflag = ICRNL;
  mode.c_oflag = OPOST | ONLCR;
  mode.c_cflag = CS8 | CREAD;
  mode.c_lflag = ICANON | ECHO | ISIG;
  mode.c_cc[VINTR] = 3;
  mode.c_cc[VMIN] = 1;
  cfsetspeed(&mode, B38400);
  return mode;
}

PtyProcess::~PtyProcess() {
  Kill();
  if (master_ >= 0) close(master_);
}

void PtyProcess::Kill() {
  if (waited_ || pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  waited_ = true;
}

void PtyProcess::Start(const std::string& errors_path,
                       const std::function<void()>& exec_child) {
  errors_path_ = errors_path;
  termios mode = UserTerminalMode();
  pid_ = forkpty(&master_, nullptr, &mode, nullptr);
  if (pid_ == 0) {
    const int err =
        open(errors_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) dup2(err, STDERR_FILENO);
    exec_child();
    _exit(127);
  }
  EXPECT_GT(pid_, 0) << "forkpty failed";
}

void PtyProcess::Drain(int timeout_ms) {
  pollfd terminal = {master_, POLLIN, 0};
  if (poll(&terminal, 1, timeout_ms) <= 0) return;
  char bytes[4096];
  const ssize_t got = read(master_, bytes, sizeof bytes);
  if (got > 0) output_.append(bytes, static_cast<size_t>(got));
}

bool PtyProcess::WaitForOutput(const std::string& text) {
  const auto end = Clock::now() + output_deadline_;
  while (Output().find(text) == std::string::npos) {
    if (Clock::now() > end) {
      ADD_FAILURE() << "no \"" << text << "\" in:\n"
                    << Output() << "\nstderr: " << Errors();
      return false;
    }
    Drain(20);
  }
  return true;
}

void PtyProcess::Type(const std::string& bytes) {
  EXPECT_EQ(write(master_, bytes.data(), bytes.size()),
            static_cast<ssize_t>(bytes.size()));
}

int PtyProcess::Wait() {
  const auto end = Clock::now() + exit_deadline_;
  int status = 0;
  waited_ = true;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() > end) {
      ADD_FAILURE() << "the program did not end; output:\n" << Output();
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      return -1;
    }
    Drain(20);
  }
  // What it wrote just before it ended may still be in the terminal.
  for (size_t before = 0; before != output_.size();) {
    before = output_.size();
    Drain(0);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool PtyProcess::Running() const {
  if (waited_ || pid_ <= 0) return false;
  const std::string stat = ReadFile("/proc/" + std::to_string(pid_) + "/stat");
  return !stat.empty() && stat.substr(stat.rfind(')') + 2, 1) != "Z";
}

std::string PtyProcess::Output() const {
  std::string text;
  for (size_t i = 0; i < output_.size(); ++i) {
    if (output_[i] == '\r' && i + 1 < output_.size() &&
        output_[i + 1] == '\n') {
      continue;
    }
    text += output_[i];
  }
  return text;
}

std::string PtyProcess::Errors() const { return ReadFile(errors_path_); }
