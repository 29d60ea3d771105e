// What zolmek prints and sends that several test suites check: the banner
// and the output reports as the emulated remote logs them.
#pragma once

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline constexpr char kBannerAndUsage[] =
    "###########################################\n"
    "#                                         #\n"
    "#   Wii-Zolmek Test version 0.1           #\n"
    "#                  build 2007.2.11        #\n"
    "#                                         #\n"
    "###########################################\n"
    "\n"
    "Usage:\n"
    "   Home button  ... Quit\n"
    "\n";

// The log line of a register write: 16 04 E8 FF rr 01 b0 b1 and 14 zeros.
inline std::string RegisterWrite(const std::string& reg_and_data) {
  return "16 04 E8 FF " + reg_and_data +
         " 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
}

inline constexpr char kReadRequest[] = "17 04 E8 00 00 00 02";

// The end of every keypad phase: LED 1 alone, the expander's pins released,
// buttons-only reporting.
inline std::vector<std::string> QuietingReports() {
  return {"11 10", RegisterWrite("06 01 FF FF"), "12 00 30"};
}

inline bool EndsWithQuieting(const std::vector<std::string>& reports) {
  const std::vector<std::string> tail = QuietingReports();
  return reports.size() >= tail.size() &&
         std::equal(tail.begin(), tail.end(), reports.end() - 3);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
