// The program's process-wide state back to how a run starts, for the
// in-process tests, the benchmarks and the fuzz targets.
#pragma once

#include <cstring>

#include "app/quit_policy.h"
#include "base/stop.h"
#include "remote/remote_link.h"
#include "test_support/host_fake.h"

inline void ResetProgramState() {
  std::memset(OutputReportBuffer, 0, sizeof OutputReportBuffer);
  std::memset(InputReportBuffer, 0, sizeof InputReportBuffer);
  remote_state.button_byte_1 = 0;
  remote_state.button_byte_2 = 0;
  remote_state.accel_x = 0;
  remote_state.accel_y = 0;
  remote_state.accel_z = 0;
  remote_lost = false;
  stop_requested = false;
  remote_handle = -1;
  InstallQuitPolicy();
  fake::Reset();
}
