#include "host/key_names.h"

int ChordSteps(const KeyChord& chord, KeyStep steps[kMaxChordSteps]) {
  int count = 0;
  for (const ModifierName& modifier : kModifierNames) {
    if (chord.modifiers & modifier.bit) steps[count++] = {&modifier.key, true};
  }
  const int held = count;
  steps[count++] = {chord.key, true};
  steps[count++] = {chord.key, false};
  for (int i = held - 1; i >= 0; --i) steps[count++] = {steps[i].key, false};
  return count;
}

std::string KeyChordText(const KeyChord& chord) {
  std::string text;
  for (const ModifierName& modifier : kModifierNames) {
    if (chord.modifiers & modifier.bit)
      text += std::string(modifier.name) + "+";
  }
  return text + chord.key->name;
}
