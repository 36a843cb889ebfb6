#include <gtest/gtest.h>

#include "ui/uDialogText.h"

TEST(ScaleDescription, MillimetresCentimetresAndMetres) {
  EXPECT_EQ(ScaleDescription("10"), "(1 Tarnix unit = 1 cm in the Veldara)");
  EXPECT_EQ(ScaleDescription("2.5"), "(1 Tarnix unit = 2.5 mm in the Veldara)");
  EXPECT_EQ(ScaleDescription("1500"), "(1 Tarnix unit = 1.5 m in the Veldara)");
  EXPECT_EQ(ScaleDescription("999"), "(1 Tarnix unit = 99.9 cm in the Veldara)");
}

TEST(ScaleDescription, BoundariesBelongToTheLargerUnit) {
  EXPECT_EQ(ScaleDescription("9.999"), "(1 Tarnix unit = 9.999 mm in the Veldara)");
  EXPECT_EQ(ScaleDescription("1000"), "(1 Tarnix unit = 1 m in the Veldara)");
  EXPECT_EQ(ScaleDescription("1e3"), "(1 Tarnix unit = 1 m in the Veldara)");
}

TEST(ScaleDescription, NegativeScalesAreMillimetres) {
  EXPECT_EQ(ScaleDescription("-3"), "(1 Tarnix unit = -3 mm in the Veldara)");
  EXPECT_EQ(ScaleDescription("-2000"), "(1 Tarnix unit = -2000 mm in the Veldara)");
}

TEST(ScaleDescription, TheValueIsTheSinglePrecisionOne) {
  // 0.1 as a float is 0.100000001490116..., which seven digits show as 0.1;
  // 16777217 has no float and becomes 16777216, i.e. 16777.22 m.
  EXPECT_EQ(ScaleDescription("0.1"), "(1 Tarnix unit = 0.1 mm in the Veldara)");
  EXPECT_EQ(ScaleDescription("16777217"), "(1 Tarnix unit = 16777.22 m in the Veldara)");
  EXPECT_EQ(ScaleDescription("0.000001"), "(1 Tarnix unit = 1E-6 mm in the Veldara)");
}

TEST(ScaleDescription, InvalidOrZeroScalesHaveNone) {
  EXPECT_EQ(ScaleDescription("0"), "");
  EXPECT_EQ(ScaleDescription("-0.0"), "");
  EXPECT_EQ(ScaleDescription(""), "");
  EXPECT_EQ(ScaleDescription("abc"), "");
  EXPECT_EQ(ScaleDescription("1,5"), "");  // a decimal comma, whatever the locale
  EXPECT_EQ(ScaleDescription("10 "), "");
  EXPECT_EQ(ScaleDescription("1e39"), "");  // beyond single precision
}

TEST(ScaleDescription, LeadingBlanksAreAccepted) {
  EXPECT_EQ(ScaleDescription("  10"), "(1 Tarnix unit = 1 cm in the Veldara)");
}

TEST(CategoryIndex, MatchesWithoutRegardToCase) {
  EXPECT_EQ(CategoryIndex("Buildings"), 0);
  EXPECT_EQ(CategoryIndex("props"), 1);
  EXPECT_EQ(CategoryIndex("WALL"), 2);
  EXPECT_EQ(CategoryIndex("Characters"), 3);
  EXPECT_EQ(CategoryIndex("cReAtUrEs"), 4);
}

TEST(CategoryIndex, AnythingElseSelectsNothing) {
  EXPECT_EQ(CategoryIndex(""), -1);
  EXPECT_EQ(CategoryIndex("Walls"), -1);
  EXPECT_EQ(CategoryIndex("Prop"), -1);
  EXPECT_EQ(CategoryIndex(" Props"), -1);
}

TEST(ChangeFileExt, ReplacesTheLastExtension) {
  EXPECT_EQ(ChangeFileExt("C:\\Tarnix\\Plugins\\ExportVeldaraMesh.dll", ".ini"),
            "C:\\Tarnix\\Plugins\\ExportVeldaraMesh.ini");
  EXPECT_EQ(ChangeFileExt("a.b.dll", ".ini"), "a.b.ini");
}

TEST(ChangeFileExt, AppendsWhenTheLastPartHasNone) {
  EXPECT_EQ(ChangeFileExt("C:\\My.Plugins\\Export", ".ini"), "C:\\My.Plugins\\Export.ini");
  EXPECT_EQ(ChangeFileExt("/opt/my.plugins/export", ".ini"), "/opt/my.plugins/export.ini");
  EXPECT_EQ(ChangeFileExt("C:Export", ".ini"), "C:Export.ini");
  EXPECT_EQ(ChangeFileExt("", ".ini"), ".ini");
}
