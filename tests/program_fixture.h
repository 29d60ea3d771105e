// Runs pieces of zolmek in-process against the emulated remote.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/console.h"
#include "base/stop.h"
#include "emulator/emulator_control.h"
#include "remote/remote_link.h"
#include "test_support/host_fake.h"
#include "test_support/program_state.h"
#include "tests/expected_output.h"

// Ends the test program, naming what it waited for, when the code under
// test has not returned within `limit`: a hang fails in seconds instead of
// running into ctest's timeout. (The message goes to the stderr the
// program started with: a test may be capturing the current one.)
class Deadline {
 public:
  explicit Deadline(const char* what,
                    std::chrono::seconds limit = std::chrono::seconds(15))
      : watcher_([this, what, limit] {
          std::unique_lock lock(mutex_);
          if (over_.wait_for(lock, limit, [this] { return done_; })) return;
          std::string message =
              std::string("\n") +
              testing::UnitTest::GetInstance()->current_test_info()->name() +
              ": still waiting for " + what + " after " +
              std::to_string(limit.count()) + " s\n";
          if (write(original_stderr, message.data(), message.size()) < 0) {
          }
          std::_Exit(1);
        }) {}
  ~Deadline() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    over_.notify_all();
    watcher_.join();
  }

 private:
  static inline const int original_stderr = dup(STDERR_FILENO);
  std::mutex mutex_;
  std::condition_variable over_;
  bool done_ = false;
  std::thread watcher_;  // last: it uses the members above
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProgramState(); }

  void TearDown() override {
    if (remote_handle >= 0) CloseHidHandle(remote_handle);
    remote_handle = -1;
  }

  // Loads the scenario and opens the emulated remote as the program would.
  void OpenRemote(const std::string& scenario = "") {
    ASSERT_EQ(zolmek_emulator::LoadScenarioText(scenario), "");
    remote_handle = OpenHidHandle(kRemoteVendorId, kRemoteProductId);
    ASSERT_GE(remote_handle, 0);
  }

  static std::vector<std::string> Log() { return zolmek_emulator::OutputLog(); }
};
