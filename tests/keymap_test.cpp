// Key names, keys with modifiers, and key maps.
#include <gtest/gtest.h>

#include <string>

#include "host/key_names.h"

// Modifiers go down before the key and up after it, in reverse: one let go
// early would leave the bare key typed, one never let go would stay held.
TEST(KeyChordTest, ModifiersWrapTheKeyInOrder) {
  const struct {
    uint8_t modifiers;
    const char* key;
    const char* steps;
  } cases[] = {
      {0, "z", "+z -z"},
      {kModifierCtrl, "z", "+leftctrl +z -z -leftctrl"},
      {kModifierMeta | kModifierAlt | kModifierShift | kModifierCtrl, "kpenter",
       "+leftctrl +leftshift +leftalt +leftmeta +kpenter -kpenter -leftmeta "
       "-leftalt -leftshift -leftctrl"},
  };
  for (const auto& c : cases) {
    KeyStep steps[kMaxChordSteps];
    const int count = ChordSteps({FindKeyName(c.key), c.modifiers}, steps);
    std::string text;
    for (int i = 0; i < count; ++i) {
      text += (i > 0 ? " " : "") + std::string(steps[i].down ? "+" : "-") +
              steps[i].key->name;
    }
    EXPECT_EQ(text, c.steps);
  }
}
