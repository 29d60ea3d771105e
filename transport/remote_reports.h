// The Wii Remote's report lengths by id, for transports whose HID stack
// does not say how long each report is (on Windows every read returns the
// longest input report and every write may be padded to the longest output
// report).
#pragma once

#include <stddef.h>
#include <stdint.h>

// The length (id byte included) of an output report the remote takes, 0
// for an id it does not take.
size_t RemoteOutputReportLength(uint8_t report_id);

// The length of an input report the remote sends, from its id, at most
// `received` (the bytes the stack delivered). An id the remote does not
// send keeps `received`.
size_t RemoteInputReportLength(uint8_t report_id, size_t received);
