// The message box on a real X display: Xvfb, found by -displayfd (never a
// fixed display number), dismissed with Return like a user would.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "tests/binary_harness.h"

namespace {

std::string RunCommand(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"),
                                             pclose);
  if (!pipe) return out;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe.get()) != nullptr) out += buffer;
  return out;
}

bool Have(const char* tool) {
  return RunCommand(std::string("command -v ") + tool).find('/') !=
         std::string::npos;
}

class Xvfb {
 public:
  Xvfb() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      // -noreset: the window lookups come and go as clients; the server
      // must not start over each time the last one leaves.
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp",
             "-noreset", "-screen", "0", "640x480x24",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the number and the newline separately, and dies if the
    // pipe is closed in between: read up to the newline.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~Xvfb() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// The id of the top-level window with this title, or "".
std::string FindWindow(const std::string& display, const std::string& title) {
  const std::string tree =
      RunCommand("DISPLAY=" + display + " xwininfo -root -tree 2>/dev/null");
  const size_t at = tree.find("\"" + title + "\"");
  if (at == std::string::npos) return "";
  const size_t start = tree.rfind("0x", at);
  return tree.substr(start, tree.find(' ', start) - start);
}

}  // namespace

TEST(DisplayTest, MessageBoxBlocksUntilDismissed) {
  for (const char* tool : {"Xvfb", "xwininfo", "xdotool"}) {
    if (!Have(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  Xvfb x;
  ASSERT_FALSE(x.Display().empty()) << "Xvfb did not start";
  ZolmekProcess zolmek(
      {.scenario = "keypad absent", .env = {{"DISPLAY", x.Display()}}});
  zolmek.WaitForOutput(std::string(79, '.') + "\n");

  std::string window;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((window = FindWindow(x.Display(), "Error")).empty() &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(window.empty())
      << "no message box appeared; windows: "
      << RunCommand("DISPLAY=" + x.Display() + " xwininfo -root -tree 2>&1")
      << "stderr: " << zolmek.Errors();
  // While the box is up the program waits: the remote is not yet quieted.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(zolmek.Running());
  EXPECT_NE(zolmek.Reports().back(), "12 00 30");

  RunCommand("DISPLAY=" + x.Display() + " xdotool key --window " + window +
             " Return");
  EXPECT_EQ(zolmek.Wait(), 0);
  EXPECT_EQ(zolmek.Errors(), "");  // shown in the box, not on stderr
  EXPECT_EQ(zolmek.Reports().back(), "12 00 30");
}
