// Runs pieces of zolmek in-process against the emulated remote.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/stop.h"
#include "emulator/emulator_control.h"
#include "remote/quit.h"
#include "remote/remote_link.h"
#include "tests/expected_output.h"
#include "tests/fakes/host_fake.h"

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(OutputReportBuffer, 0, sizeof OutputReportBuffer);
    std::memset(InputReportBuffer, 0, sizeof InputReportBuffer);
    remote_state.button_byte_1 = 0;
    remote_state.button_byte_2 = 0;
    remote_state.accel_x = 0;
    remote_state.accel_y = 0;
    remote_state.accel_z = 0;
    remote_lost = false;
    stop_requested = false;
    probe_running = false;
    remote_handle = -1;
    fake::Reset();
  }

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
