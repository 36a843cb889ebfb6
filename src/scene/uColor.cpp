#include "scene/uColor.h"

std::string ColorToHex(uint32_t color) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex(8, '0');
  for (std::size_t i = hex.size(); i > 0; --i) {
    hex[i - 1] = kDigits[color & 0xFu];
    color >>= 4;
  }
  return hex;
}

TColorBytes SplitColor(uint32_t color) {
  return {static_cast<uint8_t>(color & 0xFFu), static_cast<uint8_t>((color >> 8) & 0xFFu),
          static_cast<uint8_t>((color >> 16) & 0xFFu), static_cast<uint8_t>(color >> 24)};
}
