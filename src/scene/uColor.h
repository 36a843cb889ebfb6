#pragma once
// The editor's packed colours: red in bits 0-7, green in 8-15, blue in 16-23,
// alpha in 24-31, as the scene model holds them.

#include <cstdint>
#include <string>

struct TColorBytes {
  uint8_t Red, Green, Blue, Alpha;
};

// Eight upper-case hexadecimal digits, most significant first.
std::string ColorToHex(uint32_t color);
TColorBytes SplitColor(uint32_t color);
