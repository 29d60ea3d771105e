// The keypad's seventeen characters and the keys they type when no map says
// otherwise. Digits type the main keyboard's digit keys; the point and the
// operators the numeric keypad's own keys; E is Return and N is Delete. On
// Windows they go without the extended-key flag, Delete and the pad's slash
// included, as they always have.
#pragma once

#include "host/key_names.h"

struct KeyMapping {
  char character;
  const KeyName& key;
};

inline constexpr KeyMapping kKeyMap[] = {
    {'0', KeyNamed("0")},       {'1', KeyNamed("1")},
    {'2', KeyNamed("2")},       {'3', KeyNamed("3")},
    {'4', KeyNamed("4")},       {'5', KeyNamed("5")},
    {'6', KeyNamed("6")},       {'7', KeyNamed("7")},
    {'8', KeyNamed("8")},       {'9', KeyNamed("9")},
    {'.', KeyNamed("kpdot")},   {'+', KeyNamed("kpplus")},
    {'-', KeyNamed("kpminus")}, {'*', KeyNamed("kpasterisk")},
    {'/', KeyNamed("kpslash")}, {'E', KeyNamed("enter")},
    {'N', KeyNamed("delete")},
};
