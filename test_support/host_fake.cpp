#include "test_support/host_fake.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "app/message_box.h"
#include "base/console.h"
#include "host/host_output.h"

namespace fake {

std::vector<std::string> events;
std::function<int()> console;
int64_t key_sent_at = 0;
int64_t sound_started_at = 0;

int64_t Now() {
  return std::chrono::steady_clock::now().time_since_epoch().count();
}

std::function<int()> ConsoleKeys(std::vector<int> keys) {
  auto next = std::make_shared<size_t>(0);
  return [keys = std::move(keys), next]() {
    return *next < keys.size() ? keys[(*next)++] : kNoKey;
  };
}

void Reset() {
  events.clear();
  console = nullptr;
  key_sent_at = 0;
  sound_started_at = 0;
}

}  // namespace fake

namespace {
std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}
}  // namespace

void OpenConsole() {}
void RestoreConsole() {}
int PollConsoleKey() { return fake::console ? fake::console() : kNoKey; }

void ShowMessageBox(const char* text) {
  fake::events.push_back(std::string("box ") + text);
}

const char* OpenKeystrokeDevice() {
  fake::events.push_back("keyboard open");
  return nullptr;
}
void CloseKeystrokeDevice() { fake::events.push_back("keyboard close"); }
void SendBuiltInKey(const KeyName& key) {
  fake::key_sent_at = fake::Now();
  fake::events.push_back("key down " + Hex(key.virtual_key));
  fake::events.push_back("key up " + Hex(key.virtual_key));
}
void SendKeyChord(const KeyChord& chord) {
  fake::key_sent_at = fake::Now();
  KeyStep steps[kMaxChordSteps];
  for (int i = 0, count = ChordSteps(chord, steps); i < count; ++i) {
    fake::events.push_back((steps[i].down ? "key down " : "key up ") +
                           Hex(steps[i].key->virtual_key));
  }
}

void PrepareKeySoundPlayer(const uint8_t*, size_t size) {
  fake::events.push_back("player " + std::to_string(size));
}
void StartKeySound() {
  fake::sound_started_at = fake::Now();
  fake::events.push_back("sound");
}
void CloseKeySoundPlayer() {}
