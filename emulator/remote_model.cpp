#include "emulator/remote_model.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace zolmek_emulator {

namespace {

// Expander registers: each kind has port A's, then port B's.
constexpr int kInputPortA = kInputRegister;
constexpr int kInputPortB = kInputRegister + 1;
constexpr int kOutputPortA = kOutputRegister;
constexpr int kOutputPortB = kOutputRegister + 1;
constexpr int kDirectionPortA = kDirectionRegister;
constexpr int kDirectionPortB = kDirectionRegister + 1;

// Accelerometer bytes of a remote lying still, face up.
constexpr uint8_t kRestingAccelX = 0x80;
constexpr uint8_t kRestingAccelY = 0x80;
constexpr uint8_t kRestingAccelZ = 0x9A;

// The address a foreign read reply claims to answer.
constexpr uint8_t kForeignAddressLow = 0x20;

std::chrono::milliseconds Ms(int ms) { return std::chrono::milliseconds(ms); }

// --- Garbage -----------------------------------------------------------------

// Reproducible random numbers (splitmix64): a tick's or a request's garbage
// depends on the seed, the kind and its own number, never on timing.
class Noise {
 public:
  enum Kind : uint64_t { kTick = 1, kAnswer = 2 };
  Noise(uint64_t seed, Kind kind, uint64_t number)
      : state_(Mix(Mix(seed * 4 + kind) + number)) {}
  uint32_t Next() {
    state_ += 0x9E3779B97F4A7C15u;
    return static_cast<uint32_t>(Mix(state_) >> 32);
  }
  int Below(int n) {
    return static_cast<int>(Next() % static_cast<uint32_t>(n));
  }
  uint8_t Byte() { return static_cast<uint8_t>(Next()); }

 private:
  static uint64_t Mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  uint64_t state_;
};

// The ids the remote sends: those it has a length for.
constexpr size_t CountRemoteInputIds() {
  size_t count = 0;
  for (int id = 0; id < 256; ++id) {
    count += RemoteInputReportLength(static_cast<uint8_t>(id)) != 0;
  }
  return count;
}
constexpr auto kRemoteInputIds = [] {
  std::array<uint8_t, CountRemoteInputIds()> ids{};
  size_t next = 0;
  for (int id = 0; id < 256; ++id) {
    const auto byte = static_cast<uint8_t>(id);
    if (RemoteInputReportLength(byte) != 0) ids[next++] = byte;
  }
  return ids;
}();
constexpr size_t kLongestGarbage = 256;  // what a HID read takes at most
constexpr int kMostTicksKept = static_cast<int>(kMaxArrivedReports);

// Random bytes of a random length under `id`: half of the time the id's
// own length (22 for an id the remote does not send), else any from 1 to
// 256, often short. The remote's own reports carry its true button bytes.
std::vector<uint8_t> RandomReport(Noise& noise, uint8_t id,
                                  const std::array<uint8_t, 2>& buttons) {
  const size_t own_length = RemoteInputReportLength(id);
  size_t length = own_length != 0 ? own_length : 22;
  switch (noise.Below(4)) {
    case 0:
      length = 1 + static_cast<size_t>(noise.Below(kLongestGarbage));
      break;
    case 1:
      length = 1 + static_cast<size_t>(noise.Below(8));
      break;
    default:
      break;
  }
  std::vector<uint8_t> report(length);
  for (uint8_t& byte : report) byte = noise.Byte();
  report[0] = id;
  if (IsRemoteInputReport(id)) {
    for (size_t i = kButtonByte1; i <= kButtonByte2 && i < length; ++i) {
      report[i] = buttons[i - kButtonByte1];
    }
  }
  return report;
}

// A register answer that answers nothing: random size and error code (7
// one time in four), the address of zolmek's reads half of the time, random
// data.
std::vector<uint8_t> GarbageAnswer(Noise& noise,
                                   const std::array<uint8_t, 2>& buttons) {
  std::vector<uint8_t> answer = RandomReport(noise, kReadReplyReport, buttons);
  if (answer.size() > kAnswerSizeErrorByte && noise.Below(4) == 0) {
    uint8_t& size_error = answer[kAnswerSizeErrorByte];
    size_error =
        static_cast<uint8_t>((size_error & ~kAnswerErrorBits) | kErrorNoDevice);
  }
  if (answer.size() > kAnswerAddressRegisterByte && noise.Below(2) == 0) {
    answer[kAnswerAddressMiddleByte] = kReadAddressMiddle;
    answer[kAnswerAddressRegisterByte] = kInputRegister;
  }
  return answer;
}

}  // namespace

std::string FormatReport(std::span<const uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  for (const uint8_t byte : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(byte));
    if (!text.empty()) text += ' ';
    text += hex;
  }
  return text;
}

RemoteModel::RemoteModel(Scenario scenario) : scenario_(std::move(scenario)) {
  // Power-up state of the expander: every pin an input, latches high.
  registers_.fill(0x00);
  registers_[kOutputPortA] = 0xFF;
  registers_[kOutputPortB] = 0xFF;
  registers_[kDirectionPortA] = kNoPinDriven;
  registers_[kDirectionPortB] = kNoPinDriven;
}

size_t RemoteModel::HandleOutputReport(std::span<const uint8_t> report,
                                       TimePoint now) {
  if (report.empty()) return 0;
  const size_t length = RemoteOutputReportLength(report[0]);
  if (length == 0 || report.size() < length || IsGone(now)) return 0;
  report = report.first(length);

  // Stream reports due so far carry the state from before this report.
  AdvanceStream(now);
  AdvanceGarbage(now);
  switch (report[0]) {
    case kLedReport:
      leds_ = report[1];
      break;
    case kReportModeReport:
      report_mode_ = report[2];
      data_reports_ = true;
      if (report_mode_ == kButtonsAccelReport) {
        StartStream(now);
      } else {
        next_stream_report_.reset();
      }
      break;
    case kStatusRequestReport:
      SendStatus(now + Ms(scenario_.latency_ms));
      break;
    case kWriteRegisterReport:
      HandleRegisterWrite(report, now);
      break;
    case kReadRegisterReport:
      HandleReadRequest(report, now);
      break;
  }
  TrimArrived(now);
  return length;
}

void RemoteModel::Inject(std::vector<uint8_t> bytes, TimePoint due) {
  Schedule(std::move(bytes), due);
}

std::optional<InputReport> RemoteModel::PopDue(TimePoint now) {
  AdvanceStream(now);
  AdvanceGarbage(now);
  TrimArrived(now);
  if (queue_.empty() || queue_.front().due > now) return std::nullopt;
  InputReport report = std::move(queue_.front());
  queue_.pop_front();
  if (garbage_since_) ++reports_since_garbage_;
  return report;
}

std::optional<TimePoint> RemoteModel::NextEventTime() const {
  std::optional<TimePoint> next;
  auto consider = [&next](TimePoint t) {
    if (!next || t < *next) next = t;
  };
  if (!queue_.empty()) consider(queue_.front().due);
  if (next_stream_report_ && !scenario_.silent &&
      (!gone_at_ || *next_stream_report_ <= *gone_at_)) {
    consider(*next_stream_report_);
  }
  if (next_garbage_ && (!gone_at_ || *next_garbage_ <= *gone_at_)) {
    consider(*next_garbage_);
  }
  if (gone_at_) consider(*gone_at_);
  return next;
}

bool RemoteModel::IsGone(TimePoint now) const {
  return gone_at_ && now >= *gone_at_;
}

bool RemoteModel::Reconnect(TimePoint now) {
  if (!IsGone(now) || !back_at_ || now < *back_at_) return false;
  RemoteModel fresh(scenario_);
  fresh.connection_ = connection_ + 1;
  *this = std::move(fresh);
  return true;
}

void RemoteModel::Disconnect(TimePoint now,
                             std::chrono::milliseconds back_after) {
  if (!IsGone(now)) GoAway(now, back_after);
}

void RemoteModel::GoAway(TimePoint at,
                         std::optional<std::chrono::milliseconds> back_after) {
  gone_at_ = at;
  back_at_.reset();
  if (back_after) back_at_ = at + *back_after;
  while (!queue_.empty() && queue_.back().due > at) queue_.pop_back();
}

void RemoteModel::DiscardArrived(TimePoint now) {
  AdvanceStream(now);
  AdvanceGarbage(now);
  while (!queue_.empty() && queue_.front().due <= now) queue_.pop_front();
}

uint8_t RemoteModel::ExpanderRegister(int index) const {
  if (index == kInputPortA) return scenario_.port_a.value_or(PortALevel());
  if (index == kInputPortB) return PortBLevel();
  if (index < 0 || index >= kExpanderRegisters) return 0x00;
  return registers_[index];
}

uint8_t RemoteModel::PortALevel() const {
  // Output pins show their latch bit; input pins are pulled up.
  return registers_[kOutputPortA] | registers_[kDirectionPortA];
}

uint8_t RemoteModel::PortBLevel() const {
  const uint8_t rows = PortALevel();
  uint8_t columns = 0xFF;  // pull-ups
  for (int row = 0; row < kKeypadRows; ++row) {
    if (rows & RowLine(row)) continue;  // row line not low
    for (int column = 0; column < kKeypadColumns; ++column) {
      if (closed_[KeyPosition(row, column)]) {
        columns &= static_cast<uint8_t>(~(1u << column));
      }
    }
  }
  const uint8_t direction = registers_[kDirectionPortB];
  return static_cast<uint8_t>((registers_[kOutputPortB] & ~direction) |
                              (columns & direction));
}

void RemoteModel::Schedule(std::vector<uint8_t> bytes, TimePoint due) {
  // Nothing reaches the host once the device is gone.
  if (gone_at_ && due > *gone_at_) return;
  const auto at = std::upper_bound(
      queue_.begin(), queue_.end(), due,
      [](TimePoint t, const InputReport& r) { return t < r.due; });
  queue_.insert(at, InputReport{std::move(bytes), due});
}

void RemoteModel::StartStream(TimePoint now) {
  if (scenario_.silent) return;
  next_stream_report_ = now + Ms(scenario_.latency_ms);
  next_stream_report_is_first_ = true;
}

void RemoteModel::AdvanceStream(TimePoint now) {
  if (!next_stream_report_ || scenario_.silent) return;
  TimePoint limit = now;
  if (gone_at_ && *gone_at_ < limit) limit = *gone_at_;
  if (*next_stream_report_ > limit) return;

  const auto interval = Ms(scenario_.interval_ms);
  const int64_t pending = (limit - *next_stream_report_) / interval + 1;
  const auto keep = static_cast<int64_t>(kMaxArrivedReports);
  // Only the newest reports would survive the buffer limit anyway.
  if (pending > keep) {
    *next_stream_report_ += (pending - keep) * interval;
    next_stream_report_is_first_ = false;
  }
  while (*next_stream_report_ <= limit) {
    Schedule(StreamReport(next_stream_report_is_first_), *next_stream_report_);
    next_stream_report_is_first_ = false;
    *next_stream_report_ += interval;
  }
}

void RemoteModel::TrimArrived(TimePoint now) {
  size_t arrived = 0;
  while (arrived < queue_.size() && queue_[arrived].due <= now) ++arrived;
  while (arrived > kMaxArrivedReports) {
    queue_.pop_front();
    --arrived;
  }
}

std::vector<uint8_t> RemoteModel::StreamReport(bool first) const {
  if (first && scenario_.first_report_id &&
      *scenario_.first_report_id != kButtonsAccelReport) {
    return {*scenario_.first_report_id, buttons_[0], buttons_[1]};
  }
  uint8_t x = scenario_.accel_x.value_or(kRestingAccelX);
  if (first && scenario_.first_accel_x) x = *scenario_.first_accel_x;
  return {kButtonsAccelReport, buttons_[0],   buttons_[1], x,
          kRestingAccelY,      kRestingAccelZ};
}

void RemoteModel::HandleRegisterWrite(std::span<const uint8_t> report,
                                      TimePoint now) {
  // 16 04 DD FF RR SS data...: SS + 1 bytes from register RR on.
  const uint8_t device = report[kAddressDeviceByte];
  const int first_register = report[kAddressRegisterByte];
  const size_t count =
      std::min<size_t>(report[kWriteSizeByte] + 1u, kRegisterDataMax);
  if (device == kExpanderDevice) {
    for (size_t i = 0; i < count; ++i) {
      const size_t index = first_register + i;
      // The input registers are read only.
      if (index >= kOutputPortA && index < kExpanderRegisters) {
        registers_[index] = report[kWriteDataByte + i];
      }
    }
  }
  if (!scenario_.silent) {
    Schedule({kAcknowledgeReport, buttons_[0], buttons_[1],
              kWriteRegisterReport, kErrorNone},
             now + Ms(scenario_.latency_ms));
  }
}

bool RemoteModel::AnswersError7(int request, uint8_t device) const {
  if (device != kExpanderDevice || scenario_.keypad_absent ||
      request < scenario_.keypad_from) {
    return true;
  }
  return std::any_of(
      scenario_.error7.begin(), scenario_.error7.end(),
      [request](const CountRange& r) { return r.Contains(request); });
}

void RemoteModel::HandleReadRequest(std::span<const uint8_t> report,
                                    TimePoint now) {
  // 17 04 DD A1 A2 NN NN: NN NN bytes from address A1 A2 of device DD.
  const int request = ++read_requests_;
  const uint8_t device = report[kAddressDeviceByte];
  const uint8_t address_high = report[kAddressMiddleByte];
  const uint8_t address_low = report[kAddressRegisterByte];
  const size_t size = std::clamp<size_t>(
      (report[kReadCountByte] << 8) | report[kReadCountByte + 1], 1,
      kRegisterDataMax);
  const auto size_code = static_cast<uint8_t>((size - 1) << 4);

  // A new scan pass begins whenever row 0 is driven and the levels read.
  if (registers_[kDirectionPortA] == kEveryPinDriven &&
      registers_[kOutputPortA] == kRowPatterns[0]) {
    ++passes_;
    if (passes_ == 1) first_scan_read_ = now;
    ApplyPassEvents(passes_, now + Ms(scenario_.latency_ms));
    if (scenario_.garbage && !scenario_.silent && !garbage_since_ &&
        passes_ >= scenario_.garbage->from_pass) {
      garbage_since_ = now;
      next_garbage_ = now;
    }
  }

  TimePoint due = now + Ms(scenario_.latency_ms);
  for (const LateReply& late : scenario_.late) {
    if (late.requests.Contains(request)) {
      due += Ms(late.delay_ms);
      break;
    }
  }
  auto matches = [request](const std::vector<CountRange>& ranges) {
    return std::any_of(
        ranges.begin(), ranges.end(),
        [request](const CountRange& r) { return r.Contains(request); });
  };

  if (garbage_since_) {
    AnswerWithGarbage(request, due);
  } else if (!scenario_.silent) {
    if (matches(scenario_.foreign)) {
      const uint8_t data[] = {PortALevel(), 0x00};
      Schedule(ReadReply(size_code, kErrorNone, kReadAddressMiddle,
                         kForeignAddressLow, data),
               due);
    }
    if (!matches(scenario_.lost)) {
      if (AnswersError7(request, device)) {
        Schedule(
            ReadReply(size_code, kErrorNoDevice, address_high, address_low, {}),
            due);
      } else {
        std::vector<uint8_t> data(size);
        for (size_t i = 0; i < size; ++i) {
          data[i] = ExpanderRegister(static_cast<int>(address_low + i));
        }
        Schedule(
            ReadReply(size_code, kErrorNone, address_high, address_low, data),
            due);
      }
    }
  }

  const auto& disconnects = scenario_.disconnects;
  if (static_cast<size_t>(connection_) <= disconnects.size() &&
      disconnects[connection_ - 1].after_request == request) {
    const auto& reconnect = disconnects[connection_ - 1].reconnect_ms;
    GoAway(due, reconnect ? std::optional(Ms(*reconnect)) : std::nullopt);
  }
}

void RemoteModel::AnswerWithGarbage(int request, TimePoint due) {
  // Nothing one time in four, else one answer or a burst of two to four,
  // each up to 4 ms late.
  Noise noise(scenario_.garbage->seed, Noise::kAnswer,
              static_cast<uint64_t>(request));
  const int pick = noise.Below(4);
  const int answers = pick == 3 ? 2 + noise.Below(3) : pick == 0 ? 0 : 1;
  for (int i = 0; i < answers; ++i) {
    Schedule(GarbageAnswer(noise, buttons_), due + Ms(noise.Below(5)));
  }
}

void RemoteModel::AdvanceGarbage(TimePoint now) {
  if (!next_garbage_) return;
  TimePoint limit = now;
  if (gone_at_ && *gone_at_ < limit) limit = *gone_at_;
  if (*next_garbage_ > limit) return;
  // Only the newest reports would survive the buffer limit anyway.
  const auto behind = std::chrono::duration_cast<std::chrono::milliseconds>(
                          limit - *next_garbage_)
                          .count();
  if (behind > kMostTicksKept) {
    const int64_t skipped = behind - kMostTicksKept;
    *next_garbage_ += std::chrono::milliseconds(skipped);
    garbage_tick_ += static_cast<uint64_t>(skipped);
  }
  while (*next_garbage_ <= limit) {
    Noise noise(scenario_.garbage->seed, Noise::kTick, garbage_tick_);
    // One tick in 32 a burst of 8 to 24 answers, else one report of any id
    // (half of the time one of the remote's). A tick of n reports is n ms
    // long: at most 1000 reports a second.
    int sent = 1;
    if (noise.Below(32) == 0) {
      sent = 8 + noise.Below(17);
      for (int i = 0; i < sent; ++i) {
        Schedule(GarbageAnswer(noise, buttons_), *next_garbage_);
      }
    } else if (noise.Below(2) == 0) {
      const uint8_t id = kRemoteInputIds[noise.Below(
          static_cast<int>(std::size(kRemoteInputIds)))];
      Schedule(RandomReport(noise, id, buttons_), *next_garbage_);
    } else {
      Schedule(RandomReport(noise, noise.Byte(), buttons_), *next_garbage_);
    }
    garbage_tick_ += static_cast<uint64_t>(sent);
    *next_garbage_ += Ms(sent);
  }
}

std::string RemoteModel::GarbageSummary(TimePoint now) const {
  if (!scenario_.garbage) return "";
  char text[160];
  const int pass = scenario_.garbage->from_pass;
  const auto seed = static_cast<unsigned long long>(scenario_.garbage->seed);
  if (!garbage_since_) {
    std::snprintf(text, sizeof text,
                  "garbage from scan pass %d (seed %llu): never began", pass,
                  seed);
  } else {
    const std::chrono::duration<double> lasted = now - *garbage_since_;
    std::snprintf(text, sizeof text,
                  "garbage from scan pass %d (seed %llu): %llu reports in "
                  "%.1f s",
                  pass, seed,
                  static_cast<unsigned long long>(reports_since_garbage_),
                  lasted.count());
  }
  return text;
}

void RemoteModel::ApplyPassEvents(int pass, TimePoint due) {
  for (const PassEvent& event : scenario_.events) {
    if (event.pass != pass ||
        (event.connection != 0 && event.connection != connection_)) {
      continue;
    }
    switch (event.kind) {
      case PassEvent::Kind::kPress:
        closed_[event.position] = true;
        break;
      case PassEvent::Kind::kRelease:
        closed_[event.position] = false;
        break;
      case PassEvent::Kind::kHomeDown:
        SetButtonByte2(buttons_[1] | kHomeButtonBit, due);
        break;
      case PassEvent::Kind::kHomeUp:
        SetButtonByte2(buttons_[1] & static_cast<uint8_t>(~kHomeButtonBit),
                       due);
        break;
    }
  }
}

void RemoteModel::SendStatus(TimePoint due) {
  // What the remote stops sending when it sends a status report.
  data_reports_ = false;
  next_stream_report_.reset();
  if (scenario_.silent) return;
  // The extension bit says whether anything is in the port: the expander
  // answers from the read request numbered keypad_from on.
  const bool extension =
      !scenario_.keypad_absent && read_requests_ + 1 >= scenario_.keypad_from;
  std::vector<uint8_t> status(RemoteInputReportLength(kStatusReport), 0x00);
  status[0] = kStatusReport;
  status[kButtonByte1] = buttons_[0];
  status[kButtonByte2] = buttons_[1];
  status[kStatusFlagsByte] = static_cast<uint8_t>(
      (leds_ & kAllPlayerLeds) | (extension ? kStatusExtensionBit : 0));
  // The lowest level that BatteryPercent shows as the scenario's percent.
  status[kStatusBatteryByte] =
      static_cast<uint8_t>((scenario_.battery_percent * 255 + 99) / 100);
  Schedule(std::move(status), due);
}

void RemoteModel::SetButtonByte2(uint8_t value, TimePoint due) {
  if (value == buttons_[1]) return;
  buttons_[1] = value;
  if (!scenario_.silent && data_reports_) {
    Schedule({kButtonsReport, buttons_[0], buttons_[1]}, due);
  }
}

void RemoteModel::SetKeyClosed(int position, bool closed) {
  if (position >= 1 && position <= kKeyPositions) {
    closed_[position] = closed;
  }
}

void RemoteModel::SetHome(bool down, TimePoint now) {
  AdvanceStream(now);
  const uint8_t value =
      down ? static_cast<uint8_t>(buttons_[1] | kHomeButtonBit)
           : static_cast<uint8_t>(buttons_[1] & ~kHomeButtonBit);
  SetButtonByte2(value, now + Ms(scenario_.latency_ms));
}

std::vector<uint8_t> RemoteModel::ReadReply(
    uint8_t size_code, uint8_t error, uint8_t address_high, uint8_t address_low,
    std::span<const uint8_t> data) const {
  std::vector<uint8_t> reply(RemoteInputReportLength(kReadReplyReport), 0x00);
  reply[0] = kReadReplyReport;
  reply[kButtonByte1] = buttons_[0];
  reply[kButtonByte2] = buttons_[1];
  reply[kAnswerSizeErrorByte] = static_cast<uint8_t>(size_code | error);
  reply[kAnswerAddressMiddleByte] = address_high;
  reply[kAnswerAddressRegisterByte] = address_low;
  std::copy_n(data.begin(), std::min(data.size(), kRegisterDataMax),
              reply.begin() + kAnswerDataByte);
  return reply;
}

}  // namespace zolmek_emulator
