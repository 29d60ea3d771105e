// What a key press does on the computer: a keystroke into the focused window
// and the key sound.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/key_names.h"

// --- Keystrokes -------------------------------------------------------------

// The key a keypad character types where no key map says otherwise; nullptr
// for none (the space).
const KeyName* KeyForChar(char character);
// Its Windows virtual-key code, 0 for none.
uint16_t VirtualKeyForChar(char character);

// Types the character's key, down then up; nothing for unmapped characters.
void SendKeyForChar(char character);

// Platform: prepares the keystroke device. Done before the remote is opened,
// since the first keys sent to a newly created device may be lost. nullptr
// when it is ready; else why not, one line for the user, and the run goes
// on without keys.
const char* OpenKeystrokeDevice();
void CloseKeystrokeDevice();
// Platform: one key-down and one key-up event for a character's key (see
// KeyForChar), no delay. On Windows two SendInput calls with its virtual-key
// code and no extended-key flag, as the program has always sent them.
void SendBuiltInKey(const KeyName& key);
// Platform: the chord's events (ChordSteps) as one sequence that no other
// input can come between, with the extended-key flag where Windows needs it.
void SendKeyChord(const KeyChord& chord);

// --- Key sound --------------------------------------------------------------

constexpr size_t kSoundBufferSize = 10 * 1024 * 1024;
constexpr const char* kKeySoundFile = "test1.wav";

// The wave file's bytes, unchanged, from the start; zero where unused.
extern uint8_t SoundBuffer[kSoundBufferSize];
// How many bytes of SoundBuffer the file filled.
extern size_t sound_size;

// The file LoadKeySound reads: kKeySoundFile in the working directory
// unless set here. nullptr: no key sound at all, PlayKeySound does nothing
// (on Windows not even the system's default sound).
void SetKeySoundFile(const char* path);

// Reads the key sound file into SoundBuffer and gets the player ready.
// Missing or unusable file, or no audio device: the key sound is off,
// nothing else changes.
void LoadKeySound();
// Closes the player and loads the file again (it may have changed).
void ReloadKeySound();
// Starts the key sound from the top, at once, without waiting for it.
void PlayKeySound();

// Platform: reads the file whole into `buffer`, returns the byte count, or 0
// when it does not open, is not a regular file or exceeds `capacity`.
size_t ReadKeySoundFile(const char* name, uint8_t* buffer, size_t capacity);
// Platform: decodes the image and opens the audio device.
void PrepareKeySoundPlayer(const uint8_t* image, size_t size);
// Platform: starts the image from the top.
void StartKeySound();
void CloseKeySoundPlayer();
