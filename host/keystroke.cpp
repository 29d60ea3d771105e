#include "host/host_output.h"
#include "host/key_map.h"

const KeyName* KeyForChar(char character) {
  for (const KeyMapping& mapping : kKeyMap) {
    if (mapping.character == character) return &mapping.key;
  }
  return nullptr;
}

uint16_t VirtualKeyForChar(char character) {
  const KeyName* key = KeyForChar(character);
  return key != nullptr ? key->virtual_key : 0;
}

void SendKeyForChar(char character) {
  if (const KeyName* key = KeyForChar(character)) SendBuiltInKey(*key);
}
