// The report descriptor that zolmek-remote gives the kernel for its virtual
// remote. The kernel passes on only input reports whose id the descriptor
// declares, and the transport sizes each output report from it, so it lists
// every report the remote exchanges with zolmek, at the remote's lengths.
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/wii_remote.h"

namespace zolmek_remote {

// The reports declared, each at the remote's length for it.
inline constexpr uint8_t kOutputReports[] = {
    kLedReport, kReportModeReport, kStatusRequestReport, kWriteRegisterReport,
    kReadRegisterReport};
inline constexpr uint8_t kInputReports[] = {kStatusReport, kReadReplyReport,
                                            kAcknowledgeReport, kButtonsReport,
                                            kButtonsAccelReport};

// A vendor-defined application collection with 8-bit fields: nothing in it
// maps to an input event, so hid-generic binds it for hidraw alone.
std::vector<uint8_t> RemoteReportDescriptor();

}  // namespace zolmek_remote
