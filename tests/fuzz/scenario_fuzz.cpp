// libFuzzer target: the emulator's scenario files, which users write. The
// fuzzer's bytes are parsed as a scenario; one that parses then drives the
// emulated remote through a short run as zolmek makes it (probe, detection,
// a few scan passes, the quiet end) on a clock of its own.
//
// Besides the sanitizers' checks: a refused scenario names a line that is in
// the text, and the remote never hands out an empty report, one longer than
// a HID read takes, or an endless stream of them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "emulator/remote_model.h"
#include "emulator/scenario.h"
#include "protocol/keypad.h"
#include "protocol/wii_remote.h"

namespace {

using namespace zolmek_emulator;
using std::chrono::milliseconds;

constexpr size_t kLongestRead = 256;
constexpr int kMostReportsPerStep = 4096;
constexpr int kScanPasses = 12;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

struct Run {
  RemoteModel model;
  TimePoint now = TimePoint{} + std::chrono::hours(1);

  void Send(std::vector<uint8_t> report) {
    report.resize(std::max(report.size(), RemoteOutputReportLength(report[0])));
    model.HandleOutputReport(report, now);
  }
  void WriteExpander(uint8_t reg, uint8_t b0, uint8_t b1) {
    const uint8_t size = kExpanderTransferBytes - 1;
    Send({kWriteRegisterReport, kRegisterSpace, kExpanderDevice,
          kWriteAddressMiddle, reg, size, b0, b1});
  }
  // Moves the clock on and takes every report due by then.
  void Pass(int ms) {
    now += milliseconds(ms);
    int taken = 0;
    while (auto report = model.PopDue(now)) {
      if (report->bytes.empty()) Fail("an empty input report");
      if (report->bytes.size() > kLongestRead) Fail("an overlong report");
      if (++taken > kMostReportsPerStep) Fail("reports without end");
    }
  }
  void ReadRow(uint8_t pattern) {
    WriteExpander(kOutputRegister, pattern, 0x00);
    WriteExpander(kOutputRegister, pattern, 0x00);
    Send({kReadRegisterReport, kRegisterSpace, kExpanderDevice,
          kReadAddressMiddle, kInputRegister, 0x00, kExpanderTransferBytes});
    Pass(3);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ScenarioParseResult parsed = ParseScenario(text);
  if (!parsed.ok()) {
    const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
    if (parsed.error_line < 1 || parsed.error_line > lines ||
        parsed.Message().empty()) {
      Fail("a refusal that names no line of the text");
    }
    return 0;
  }
  Run run{RemoteModel(parsed.scenario)};
  run.Send({kReportModeReport, kReportOnChange, kButtonsAccelReport});
  run.Pass(100);
  run.Send({kReportModeReport, kReportOnChange, kButtonsReport});
  run.Send({kLedReport, kAllPlayerLeds});
  for (int attempt = 0; attempt < 3; ++attempt) {
    run.WriteExpander(kDirectionRegister, kEveryPinDriven, kNoPinDriven);
    run.ReadRow(kRowPatterns[kKeypadRows - 1]);
  }
  for (int pass = 0; pass < kScanPasses; ++pass) {
    for (uint8_t pattern : kRowPatterns) run.ReadRow(pattern);
  }
  run.Send({kLedReport, PlayerLed(1)});
  run.WriteExpander(kDirectionRegister, kNoPinDriven, kNoPinDriven);
  run.Send({kReportModeReport, kReportOnChange, kButtonsReport});
  run.Pass(50);
  return 0;
}
