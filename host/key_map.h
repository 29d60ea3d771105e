// The keypad's seventeen characters and the keys they type, on every
// platform: the Windows virtual-key code (what SendVirtualKey takes) and the
// Linux evdev key code (linux/input-event-codes.h). Digits type the main
// keyboard's digit keys; the point and the operators the numeric keypad's
// own keys; E is Return and N is Delete.
#pragma once

#include <cstdint>

struct KeyMapping {
  char character;
  uint16_t virtual_key;
  uint16_t evdev_key;
};

inline constexpr KeyMapping kKeyMap[] = {
    {'0', 0x30, 11},   // VK_0, KEY_0
    {'1', 0x31, 2},    // VK_1, KEY_1
    {'2', 0x32, 3},    // VK_2, KEY_2
    {'3', 0x33, 4},    // VK_3, KEY_3
    {'4', 0x34, 5},    // VK_4, KEY_4
    {'5', 0x35, 6},    // VK_5, KEY_5
    {'6', 0x36, 7},    // VK_6, KEY_6
    {'7', 0x37, 8},    // VK_7, KEY_7
    {'8', 0x38, 9},    // VK_8, KEY_8
    {'9', 0x39, 10},   // VK_9, KEY_9
    {'.', 0x6E, 83},   // VK_DECIMAL, KEY_KPDOT
    {'+', 0x6B, 78},   // VK_ADD, KEY_KPPLUS
    {'-', 0x6D, 74},   // VK_SUBTRACT, KEY_KPMINUS
    {'*', 0x6A, 55},   // VK_MULTIPLY, KEY_KPASTERISK
    {'/', 0x6F, 98},   // VK_DIVIDE, KEY_KPSLASH
    {'E', 0x0D, 28},   // VK_RETURN, KEY_ENTER
    {'N', 0x2E, 111},  // VK_DELETE, KEY_DELETE
};
