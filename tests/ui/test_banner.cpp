#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "BannerArt.h"
#include "ui/uJpegImage.h"

// The banner in the plug-in (src/ui/banner.jpg) is what tools/banner draws:
// after a change of the artwork, `make-banner src/ui/banner.jpg` must be run.
TEST(Banner, StoredImageShowsTheGeneratorsArtwork) {
  std::ifstream in(VELDARA_BANNER_JPEG, std::ios::binary);
  const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const TRgbImage stored = DecodeJpeg(data.data(), data.size());
  const std::vector<uint8_t> drawn = RenderBanner();
  ASSERT_EQ(stored.Width, BannerWidth);
  ASSERT_EQ(stored.Height, BannerHeight);
  ASSERT_EQ(stored.Pixels.size(), drawn.size());

  // JPEG is lossy: the two agree closely on average, and no pixel is far off.
  long total = 0;
  int largest = 0;
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    const int difference = std::abs(static_cast<int>(stored.Pixels[i]) - static_cast<int>(drawn[i]));
    total += difference;
    if (difference > largest) largest = difference;
  }
  EXPECT_LT(static_cast<double>(total) / static_cast<double>(drawn.size()), 2.0);
  EXPECT_LT(largest, 100);
}
