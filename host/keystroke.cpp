#include "host/host_output.h"
#include "host/key_map.h"

uint16_t VirtualKeyForChar(char character) {
  for (const KeyMapping& key : kKeyMap) {
    if (key.character == character) return key.virtual_key;
  }
  return 0;
}

void SendKeyForChar(char character) {
  const uint16_t code = VirtualKeyForChar(character);
  if (code != 0) SendVirtualKey(code);
}
