#pragma once
// Decoding a JPEG image held in memory (the dialog's banner) with libjpeg.

#include <cstddef>
#include <cstdint>
#include <vector>

// Pixels in rows from the top, three bytes each: red, green, blue.
struct TRgbImage {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;
};

// Decodes a baseline or progressive JPEG, colour or greyscale. Raises
// "Cannot decode JPEG image: %s" with libjpeg's own message for data it
// cannot read; a damaged image never ends the process.
TRgbImage DecodeJpeg(const uint8_t* data, std::size_t size);
