#include "emulator/scenario.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "protocol/keypad.h"

namespace zolmek_emulator {

int KeyPositionOfCharacter(char c) {
  if (c == ' ') return 0;
  for (int position = 1; position <= kKeyPositions; ++position) {
    if (KeyTable[position] == c) return position;
  }
  return 0;
}

std::string ScenarioParseResult::Message() const {
  if (ok() || error_line == 0) return error;
  return "line " + std::to_string(error_line) + ": " + error;
}

namespace {

// Thrown inside the parser to abandon the current line with a message.
struct LineError {
  std::string what;
};

// A non-negative decimal or 0x-prefixed hexadecimal number.
int ParseNumber(const std::string& word, int max_value = 1 << 30) {
  std::string_view digits = word;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' &&
      (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
    base = 16;
  }
  long long value = 0;
  const char* end = digits.data() + digits.size();
  auto [ptr, ec] = std::from_chars(digits.data(), end, value, base);
  if (digits.empty() || ec != std::errc() || ptr != end || value < 0) {
    throw LineError{"bad number '" + word + "'"};
  }
  if (value > max_value) {
    throw LineError{"number out of range '" + word + "'"};
  }
  return static_cast<int>(value);
}

uint8_t ParseByte(const std::string& word) {
  return static_cast<uint8_t>(ParseNumber(word, 0xFF));
}

// A positive count, for request and pass numbers.
int ParseCount(const std::string& word) {
  const int value = ParseNumber(word);
  if (value < 1) throw LineError{"number must be at least 1 '" + word + "'"};
  return value;
}

// "N" or "N-M" with 1 <= N <= M.
CountRange ParseRange(const std::string& word) {
  const auto dash = word.find('-');
  if (dash == std::string::npos) {
    const int n = ParseCount(word);
    return {n, n};
  }
  const int first = ParseCount(word.substr(0, dash));
  const int last = ParseCount(word.substr(dash + 1));
  if (last < first) throw LineError{"empty range '" + word + "'"};
  return {first, last};
}

// A scan pass, "P" (in every connection) or "C:P" (in connection C).
std::pair<int, int> ParsePass(const std::string& word) {
  const auto colon = word.find(':');
  if (colon == std::string::npos) return {0, ParseCount(word)};
  return {ParseCount(word.substr(0, colon)),
          ParseCount(word.substr(colon + 1))};
}

// A printed key character, or a matrix position written rRcC.
int ParseKey(const std::string& word) {
  if (word.size() == 1) {
    const int position = KeyPositionOfCharacter(word[0]);
    if (position != 0) return position;
  } else if (word.size() == 4 && word[0] == 'r' && word[2] == 'c' &&
             word[1] >= '0' && word[1] < '0' + kKeypadRows && word[3] >= '0' &&
             word[3] < '0' + kKeypadColumns) {
    return KeyPosition(word[1] - '0', word[3] - '0');
  }
  throw LineError{"unknown key '" + word + "'"};
}

void ExpectArguments(const std::vector<std::string>& words, size_t count) {
  if (words.size() - 1 < count) {
    throw LineError{"'" + words[0] + "' needs " + std::to_string(count) +
                    (count == 1 ? " argument" : " arguments")};
  }
  if (words.size() - 1 > count) {
    throw LineError{"unexpected word '" + words[count + 1] + "'"};
  }
}

void ParseDirective(const std::vector<std::string>& words, Scenario& s) {
  const std::string& word = words[0];
  if (word == "no-remote") {
    ExpectArguments(words, 0);
    s.no_remote = true;
  } else if (word == "silent") {
    ExpectArguments(words, 0);
    s.silent = true;
  } else if (word == "plus") {
    ExpectArguments(words, 0);
    s.plus = true;
  } else if (word == "interval") {
    ExpectArguments(words, 1);
    s.interval_ms = ParseCount(words[1]);
  } else if (word == "latency") {
    ExpectArguments(words, 1);
    s.latency_ms = ParseNumber(words[1]);
  } else if (word == "first-report") {
    ExpectArguments(words, 1);
    s.first_report_id = ParseByte(words[1]);
  } else if (word == "first-accel-x") {
    ExpectArguments(words, 1);
    s.first_accel_x = ParseByte(words[1]);
  } else if (word == "accel-x") {
    ExpectArguments(words, 1);
    s.accel_x = ParseByte(words[1]);
  } else if (word == "keypad") {
    if (words.size() >= 2 && words[1] == "absent") {
      ExpectArguments(words, 1);
      s.keypad_absent = true;
    } else if (words.size() >= 2 && words[1] == "present") {
      ExpectArguments(words, 1);
      s.keypad_absent = false;
    } else if (words.size() >= 2 && words[1] == "from") {
      ExpectArguments(words, 2);
      s.keypad_from = ParseCount(words[2]);
    } else {
      throw LineError{"'keypad' needs 'absent' or 'from N'"};
    }
  } else if (word == "port-a") {
    ExpectArguments(words, 1);
    s.port_a = ParseByte(words[1]);
  } else if (word == "error7") {
    ExpectArguments(words, 1);
    s.error7.push_back(ParseRange(words[1]));
  } else if (word == "lost") {
    ExpectArguments(words, 1);
    s.lost.push_back(ParseRange(words[1]));
  } else if (word == "late") {
    ExpectArguments(words, 2);
    s.late.push_back({ParseRange(words[1]), ParseNumber(words[2])});
  } else if (word == "foreign") {
    ExpectArguments(words, 1);
    s.foreign.push_back(ParseRange(words[1]));
  } else if (word == "disconnect") {
    ExpectArguments(words, 1);
    s.disconnects.push_back({ParseCount(words[1]), std::nullopt});
  } else if (word == "reconnect") {
    ExpectArguments(words, 1);
    if (s.disconnects.empty() || s.disconnects.back().reconnect_ms) {
      throw LineError{"'reconnect' needs a 'disconnect' before it"};
    }
    s.disconnects.back().reconnect_ms = ParseNumber(words[1]);
  } else if (word == "battery") {
    ExpectArguments(words, 1);
    s.battery_percent = ParseNumber(words[1], 100);
  } else if (word == "garbage") {
    ExpectArguments(words, 2);
    s.garbage = Garbage{ParseCount(words[1]),
                        static_cast<uint64_t>(ParseNumber(words[2]))};
  } else if (word == "press" || word == "release") {
    ExpectArguments(words, 2);
    const int position = ParseKey(words[1]);
    const auto [connection, pass] = ParsePass(words[2]);
    s.events.push_back(
        {word == "press" ? PassEvent::Kind::kPress : PassEvent::Kind::kRelease,
         pass, position, connection});
  } else if (word == "home" || word == "home-release") {
    ExpectArguments(words, 1);
    const auto [connection, pass] = ParsePass(words[1]);
    s.events.push_back(
        {word == "home" ? PassEvent::Kind::kHomeDown : PassEvent::Kind::kHomeUp,
         pass, 0, connection});
  } else {
    throw LineError{"unknown word '" + word + "'"};
  }
}

}  // namespace

ScenarioParseResult ParseScenario(std::string_view text) {
  ScenarioParseResult result;
  std::istringstream input{std::string(text)};
  std::string line;
  int line_number = 0;
  while (std::getline(input, line)) {
    ++line_number;
    if (const auto hash = line.find('#'); hash != std::string::npos) {
      line.erase(hash);
    }
    std::istringstream line_words(line);
    std::vector<std::string> words;
    for (std::string word; line_words >> word;) words.push_back(word);
    if (words.empty()) continue;
    try {
      ParseDirective(words, result.scenario);
    } catch (const LineError& e) {
      result.scenario = Scenario();
      result.error_line = line_number;
      result.error = e.what;
      return result;
    }
  }
  return result;
}

ScenarioParseResult LoadScenarioFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) {
    ScenarioParseResult result;
    result.error = std::string("cannot read: ") + std::strerror(errno);
    return result;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return ParseScenario(text.str());
}

}  // namespace zolmek_emulator
