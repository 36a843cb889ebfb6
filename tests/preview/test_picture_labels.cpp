// The labels drawn into a preview picture: the views' names and the box's
// size in metres, in a bitmap font of 5 x 7 dots.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "preview/uPictureLabels.h"

namespace {
const TRgb kInk = {235, 235, 235}, kShadow = {0, 0, 0}, kPaper = {58, 64, 74};

TPreviewImage Blank(int width, int height) {
  TPreviewImage image;
  image.Width = width;
  image.Height = height;
  for (int i = 0; i < width * height; ++i) image.Rgb.insert(image.Rgb.end(), {kPaper.R, kPaper.G, kPaper.B});
  return image;
}

// The box around the pixels of that colour: left, top, right, bottom; all -1 when there is none.
std::array<int, 4> InkBox(const TPreviewImage& image, const TRgb& colour) {
  std::array<int, 4> box = {-1, -1, -1, -1};
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x)
      if (image.At(x, y) == colour) {
        if (box[0] < 0 || x < box[0]) box[0] = x;
        if (box[1] < 0) box[1] = y;
        box[2] = std::max(box[2], x);
        box[3] = y;
      }
  return box;
}
}  // namespace

TEST(PictureLabels, TheBoxIsGivenInMetres) {
  EXPECT_EQ(BoxSizeLabel(600, 600, 600), "0.60 x 0.60 x 0.60 m");
  // Larger boxes, fewer decimals; the box of a level some hundred metres wide.
  EXPECT_EQ(BoxSizeLabel(12345, 3000, 84000), "12.3 x 3.00 x 84.0 m");
  EXPECT_EQ(BoxSizeLabel(12345, 3000, 840000), "12.3 x 3.00 x 840 m");
  EXPECT_EQ(BoxSizeLabel(0, 2.5, 1000), "0.00 x 0.00 x 1.00 m");
}

TEST(PictureLabels, TextIsDrawnInItsPlaceWithItsShadowAndClipped) {
  TPreviewImage image = Blank(200, 40);
  // "Front" at scale 2: five characters of six dots, seven dots high.
  EXPECT_EQ(DrawLabel(image, 10, 5, "Front", kInk, kShadow, 2, 200), 5 * 6 * 2);
  const std::array<int, 4> ink = InkBox(image, kInk);
  EXPECT_EQ(ink[0], 10);
  EXPECT_EQ(ink[1], 5);
  EXPECT_LT(ink[2], 10 + 60);
  EXPECT_EQ(ink[3], 5 + 7 * 2 - 1);
  // The shadow one dot below and to the right shows past the ink's edge.
  const std::array<int, 4> shadow = InkBox(image, kShadow);
  EXPECT_EQ(shadow[3], ink[3] + 2);
  // Characters the font lacks are blanks, and text beyond the edge is cut off.
  TPreviewImage small = Blank(20, 10);
  DrawLabel(small, 15, 5, "~~8888", kInk, kShadow, 1, 1000);
  EXPECT_EQ(InkBox(small, kInk)[0], -1) << "the blanks are where the picture is";
  DrawLabel(small, 14, 5, "88", kInk, kShadow, 3, 1000);
  EXPECT_EQ(InkBox(small, kInk)[2], 19);
  // Only whole characters left of the limit: a label stays in its cell.
  TPreviewImage cell = Blank(100, 20);
  EXPECT_EQ(DrawLabel(cell, 0, 0, "Three-quarter", kInk, kShadow, 1, 40), 36);
  EXPECT_LT(InkBox(cell, kInk)[2], 40);
  EXPECT_EQ(InkBox(cell, kShadow)[2], 35) << "the shadow of the last whole character";
}

TEST(PictureLabels, EveryCharacterOfTheLabelsHasAGlyph) {
  // A blank in place of a letter of the views' names would go unnoticed.
  for (const std::string text : {"Front", "Side", "Top", "Three-quarter", "0123456789", ".xm()"})
    for (const char c : text) {
      if (c == ' ') continue;
      TPreviewImage image = Blank(8, 8);
      DrawLabel(image, 0, 0, std::string(1, c), kInk, kShadow, 1, 8);
      EXPECT_NE(InkBox(image, kInk)[0], -1) << "'" << c << "' has no glyph";
    }
}
