#include "base/uException.h"

#include <gtest/gtest.h>

TEST(FormatText, PlaceholdersTakeTheArgumentsInOrder) {
  EXPECT_EQ(FormatText("%s of %s", {"first", "second"}), "first of second");
  EXPECT_EQ(FormatText("line %d: %s", {"12", "bad tag"}), "line 12: bad tag");
  EXPECT_EQ(FormatText("%s%s%s", {"a", "b", "c"}), "abc");
  EXPECT_EQ(FormatText("%s", {""}), "");
}

TEST(FormatText, DoublePercentGivesOnePercent) {
  EXPECT_EQ(FormatText("100%%", {}), "100%");
  EXPECT_EQ(FormatText("%s%% done", {"50"}), "50% done");
  // The second character of "%%" is used up, so the "s" after it is plain text
  // and no argument is taken.
  EXPECT_EQ(FormatText("%%s %s", {"x"}), "%s x");
}

TEST(FormatText, OtherPercentSequencesStayAsTheyAre) {
  EXPECT_EQ(FormatText("50%", {"x"}), "50%");
  EXPECT_EQ(FormatText("%x and %s", {"y"}), "%x and y");
}

TEST(FormatText, MissingArgumentsLeaveThePlaceholderEmpty) {
  EXPECT_EQ(FormatText("'%s' and '%s'", {"one"}), "'one' and ''");
  EXPECT_EQ(FormatText("[%d]", {}), "[]");
}

TEST(FormatText, SurplusArgumentsAreIgnored) {
  EXPECT_EQ(FormatText("only %s", {"one", "two"}), "only one");
  EXPECT_EQ(FormatText("plain", {"unused"}), "plain");
}

TEST(FormatText, ArgumentTextIsNeverReadAsAPattern) {
  EXPECT_EQ(FormatText("'%s' then '%s'", {"%s", "b"}), "'%s' then 'b'");
  EXPECT_EQ(FormatText("%s", {"100%% %d"}), "100%% %d");
}

TEST(RaiseError, ThrowsTheFormattedMessage) {
  try {
    RaiseError("'%s' is not a valid integer value", {"%s"});
    FAIL() << "RaiseError returned";
  } catch (const TException& e) {
    EXPECT_EQ(e.Message(), "'%s' is not a valid integer value");
    EXPECT_STREQ(e.what(), "'%s' is not a valid integer value");
  }
}
