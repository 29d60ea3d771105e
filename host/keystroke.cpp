#include "host/host_output.h"

uint16_t VirtualKeyForChar(char character) {
  const uint16_t c =
      static_cast<uint16_t>(static_cast<unsigned char>(character));
  if (c >= '0' && c <= '9') return c;  // VK_0..VK_9 share the digit's code
  switch (c) {
    case '.':
      return 0x6E;  // VK_DECIMAL
    case '+':
      return 0x6B;  // VK_ADD
    case '-':
      return 0x6D;  // VK_SUBTRACT
    case '*':
      return 0x6A;  // VK_MULTIPLY
    case '/':
      return 0x6F;  // VK_DIVIDE
    case 'E':
      return 0x0D;  // VK_RETURN
    case 'N':
      return 0x2E;  // VK_DELETE
    default:
      return 0;
  }
}

void SendKeyForChar(char character) {
  const uint16_t code = VirtualKeyForChar(character);
  if (code != 0) SendVirtualKey(code);
}
