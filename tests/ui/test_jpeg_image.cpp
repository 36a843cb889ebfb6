#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/uException.h"
#include "ui/uJpegImage.h"

namespace {

std::vector<uint8_t> ReadBanner() {
  std::ifstream in(VELDARA_BANNER_JPEG, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string DecodeError(const std::vector<uint8_t>& data) {
  try {
    DecodeJpeg(data.data(), data.size());
  } catch (const TException& error) {
    return error.Message();
  }
  return "no error";
}

}  // namespace

TEST(JpegImage, DecodesTheBannerAtItsSize) {
  const std::vector<uint8_t> data = ReadBanner();
  ASSERT_GT(data.size(), 1000u);
  const TRgbImage image = DecodeJpeg(data.data(), data.size());
  EXPECT_EQ(image.Width, 594);
  EXPECT_EQ(image.Height, 74);
  ASSERT_EQ(image.Pixels.size(), 594u * 74u * 3u);

  // Night blue at the left edge, pale at the right, where the dialog writes
  // its version in the window-text colour.
  const auto pixel = [&](int x, int y, int channel) {
    return static_cast<int>(image.Pixels[(static_cast<std::size_t>(y) * 594 + static_cast<std::size_t>(x)) * 3 +
                                         static_cast<std::size_t>(channel)]);
  };
  EXPECT_LT(pixel(2, 10, 0), 40);
  EXPECT_GT(pixel(2, 10, 2), pixel(2, 10, 0));
  for (int channel = 0; channel < 3; ++channel) EXPECT_GT(pixel(585, 37, channel), 200);
}

TEST(JpegImage, DataThatIsNoJpegIsAnErrorWithLibjpegsMessage) {
  const std::string message = DecodeError({'P', 'K', 3, 4, 0, 0, 0, 0});
  EXPECT_EQ(message.rfind("Cannot decode JPEG image: Not a JPEG file", 0), 0u) << message;
}

TEST(JpegImage, NoDataIsAnError) {
  EXPECT_EQ(DecodeError({}), "Cannot decode JPEG image: no data");
}

TEST(JpegImage, AHeaderWithoutImageDataIsAnError) {
  std::vector<uint8_t> data = ReadBanner();
  data.resize(40);  // the start-of-image marker and part of the first segment
  const std::string message = DecodeError(data);
  EXPECT_EQ(message.rfind("Cannot decode JPEG image: ", 0), 0u) << message;
}

TEST(JpegImage, ATruncatedImageStillDecodesToItsFullSize) {
  // libjpeg fills what is missing and only warns; the banner must not be
  // lost for a damaged tail.
  std::vector<uint8_t> data = ReadBanner();
  data.resize(data.size() / 2);
  const TRgbImage image = DecodeJpeg(data.data(), data.size());
  EXPECT_EQ(image.Width, 594);
  EXPECT_EQ(image.Height, 74);
}
