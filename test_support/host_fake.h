// In-process stand-ins for the platform's host side (console, message box,
// keystrokes, sound player). They record what the program did as a list of
// events, so tests compare whole sequences.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fake {

// "key down 0x35", "key up 0x35" (virtual-key codes, also for each step of
// a chord), "sound", "box Zolmek is not found.",
// "keyboard open", "player 1234" (bytes handed to the player).
extern std::vector<std::string> events;

// Answers each PollConsoleKey call; returns kNoKey by default.
extern std::function<int()> console;

// Console keys for successive PollConsoleKey calls; kNoKey once used up.
std::function<int()> ConsoleKeys(std::vector<int> keys);

// steady_clock nanoseconds of the latest key sent and PlayKeySound.
extern int64_t key_sent_at;
extern int64_t sound_started_at;

void Reset();

}  // namespace fake
