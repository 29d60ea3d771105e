// The Linux console reader on a pipe: keys, escape sequences, end of input.
#include "base/console.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>
#include <thread>

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    saved_stdin_ = dup(STDIN_FILENO);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    writer_ = fds[1];
  }
  void TearDown() override {
    if (writer_ >= 0) close(writer_);
    dup2(saved_stdin_, STDIN_FILENO);
    close(saved_stdin_);
  }
  void Type(const std::string& bytes) {
    ASSERT_EQ(write(writer_, bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
  }
  int saved_stdin_ = -1;
  int writer_ = -1;
};

TEST_F(ConsoleTest, KeysSequencesAndALoneEscape) {
  EXPECT_EQ(PollConsoleKey(), kNoKey);
  Type("x");
  EXPECT_EQ(PollConsoleKey(), kOtherKey);
  // Arrow up, F1, F5, Alt+x: keys, but none of them is Escape.
  for (const char* keys : {"\x1b[A", "\x1bOP", "\x1b[15~", "\x1bx"}) {
    Type(keys);
    EXPECT_EQ(PollConsoleKey(), kOtherKey) << keys + 1;
  }
  Type("\x1b");
  EXPECT_EQ(PollConsoleKey(), kEscapeKey);
  // Two at once: Escape, and no half-read sequence is left behind.
  Type("\x1b\x1b");
  EXPECT_EQ(PollConsoleKey(), kEscapeKey);
  Type("z");
  EXPECT_EQ(PollConsoleKey(), kOtherKey);
}

// A slow link (ssh) can deliver an arrow key's ESC and "[A" in two reads:
// the rest comes while the console waits to see whether the Escape stands
// alone, so it is no Escape.
TEST_F(ConsoleTest, SequenceCutInTwoByASlowLinkIsNoEscape) {
  Type("\x1b");
  std::thread rest([this] {
    int waiting = 1;
    while (waiting > 0 && ioctl(STDIN_FILENO, FIONREAD, &waiting) == 0) {
    }
    Type("[A");  // the ESC has been read
  });
  EXPECT_EQ(PollConsoleKey(), kOtherKey);
  rest.join();
}

TEST_F(ConsoleTest, EndOfInputStopsLookingForKeys) {
  Type("y");
  close(writer_);
  writer_ = -1;
  EXPECT_EQ(PollConsoleKey(), kOtherKey);
  EXPECT_EQ(PollConsoleKey(), kNoKey);
  // Another input on stdin is no longer read: the console was closed.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  dup2(fds[0], STDIN_FILENO);
  close(fds[0]);
  ASSERT_EQ(write(fds[1], "\x1b", 1), 1);
  EXPECT_EQ(PollConsoleKey(), kNoKey);
  close(fds[1]);
}
