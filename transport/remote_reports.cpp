#include "transport/remote_reports.h"

size_t RemoteOutputReportLength(uint8_t report_id) {
  switch (report_id) {
    case 0x11:  // player LEDs
      return 2;
    case 0x12:  // report mode
      return 3;
    case 0x16:  // register write: address, size, 16 data bytes
      return 22;
    case 0x17:  // register read request
      return 7;
    default:
      return 0;
  }
}

size_t RemoteInputReportLength(uint8_t report_id, size_t received) {
  size_t length = 0;
  switch (report_id) {
    case 0x20:  // status
      length = 7;
      break;
    case 0x21:  // register read answer
      length = 22;
      break;
    case 0x22:  // acknowledgement
      length = 5;
      break;
    case 0x30:  // buttons
      length = 3;
      break;
    case 0x31:  // buttons and accelerometer
      length = 6;
      break;
    case 0x32:  // buttons and 8 extension bytes
      length = 11;
      break;
    case 0x33:  // buttons, accelerometer, 12 IR bytes
      length = 18;
      break;
    case 0x34:  // the 22-byte data reports
    case 0x35:
    case 0x36:
    case 0x37:
    case 0x3D:
    case 0x3E:
    case 0x3F:
      length = 22;
      break;
    default:
      return received;
  }
  return length < received ? length : received;
}
