#include <gtest/gtest.h>

#include "scene/uColor.h"

TEST(Colors, HexHasEightUpperCaseDigitsMostSignificantFirst) {
  EXPECT_EQ(ColorToHex(0), "00000000");
  EXPECT_EQ(ColorToHex(255), "000000FF");
  EXPECT_EQ(ColorToHex(4294967295u), "FFFFFFFF");
  EXPECT_EQ(ColorToHex(0x1A2B3C4Du), "1A2B3C4D");
  EXPECT_EQ(ColorToHex(0x80000000u), "80000000");
}

TEST(Colors, SplitTakesRedFromTheLowestByte) {
  const TColorBytes bytes = SplitColor(0x80402010u);
  EXPECT_EQ(bytes.Red, 0x10);
  EXPECT_EQ(bytes.Green, 0x20);
  EXPECT_EQ(bytes.Blue, 0x40);
  EXPECT_EQ(bytes.Alpha, 0x80);

  const TColorBytes white = SplitColor(0xFFFFFFFFu);
  EXPECT_EQ(white.Red, 255);
  EXPECT_EQ(white.Green, 255);
  EXPECT_EQ(white.Blue, 255);
  EXPECT_EQ(white.Alpha, 255);
}
