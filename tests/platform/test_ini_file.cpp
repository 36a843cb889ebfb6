#include <gtest/gtest.h>

#include <string>

#include "../support/TempDir.h"
#include "platform/uIniFile.h"

namespace {
class IniFile : public ::testing::Test {
protected:
  // The value of [Dirs] texturefiles in a file with the given content.
  std::string Read(const std::string& content, std::string_view section = "Dirs",
                   std::string_view key = "texturefiles") {
    TTempDir::Write(FFile, content);
    return ReadIniString(FFile, section, key, "default");
  }

  TTempDir FDir;
  std::string FFile = FDir.File("settings.ini");
};
}  // namespace

TEST_F(IniFile, FindsTheKeyInItsSection) {
  EXPECT_EQ(Read("[General]\r\ntexturefiles=general\r\n[Dirs]\r\nmeshfiles=meshes\r\ntexturefiles=C:\\Tex\r\n"
                 "[Other]\r\ntexturefiles=other\r\n"),
            "C:\\Tex");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=first\r\n[Other]\r\ntexturefiles=other\r\n"), "first");
}

TEST_F(IniFile, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(ReadIniString(FDir.File("missing.ini"), "Dirs", "texturefiles", "default"), "default");
  EXPECT_EQ(ReadIniString(FDir.Path().string(), "Dirs", "texturefiles", "default"), "default");
  EXPECT_EQ(Read(""), "default");
  EXPECT_EQ(Read("[Other]\r\ntexturefiles=x\r\n"), "default");
  EXPECT_EQ(Read("[Dirs]\r\nmeshfiles=x\r\n[Other]\r\ntexturefiles=y\r\n"), "default");
  // Keys before the first section belong to none.
  EXPECT_EQ(Read("texturefiles=x\r\n[Dirs]\r\n"), "default");
  // A line without "=" is not a key with an empty value.
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles\r\n"), "default");
  EXPECT_EQ(ReadIniString(FDir.File("missing.ini"), "Dirs", "texturefiles", ""), "");
}

TEST_F(IniFile, AnEmptyValueIsAValueNotTheDefault) {
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=\r\n"), "");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles =   \r\n"), "");
}

TEST_F(IniFile, SectionAndKeyMatchInAnyLetterCase) {
  EXPECT_EQ(Read("[DIRS]\r\nTextureFiles=C:\\Tex\r\n"), "C:\\Tex");
  EXPECT_EQ(Read("[dirs]\r\ntexturefiles=a\r\n", "DiRs", "TEXTUREFILES"), "a");
  // The value keeps its letter case.
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=MixedCase\r\n"), "MixedCase");
}

TEST_F(IniFile, BlanksAroundNamesAndValuesAreDropped) {
  EXPECT_EQ(Read("  [ Dirs ]  \r\n \t texturefiles \t=\t C:\\My Textures \t \r\n"), "C:\\My Textures");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles = a = b \r\n"), "a = b");
}

TEST_F(IniFile, OnlyTheFirstSectionAndTheFirstKeyOfANameCount) {
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=first\r\ntexturefiles=second\r\n"), "first");
  EXPECT_EQ(Read("[Dirs]\r\nmeshfiles=x\r\n[Other]\r\n[dirs]\r\ntexturefiles=second section\r\n"), "default");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=first\r\n[Dirs]\r\ntexturefiles=second section\r\n"), "first");
}

TEST_F(IniFile, LinesStartingWithASemicolonAreComments) {
  EXPECT_EQ(Read("[Dirs]\r\n;texturefiles=commented\r\n  ; texturefiles=indented\r\ntexturefiles=real\r\n"), "real");
  EXPECT_EQ(Read(";[Dirs]\r\n[Other]\r\ntexturefiles=x\r\n"), "default");
  // A semicolon inside a value is part of it.
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=a;b ; c\r\n"), "a;b ; c");
}

TEST_F(IniFile, MatchingQuotesAroundTheValueAreRemoved) {
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=\"C:\\My Textures\\\"\r\n"), "C:\\My Textures\\");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles= ' padded ' \r\n"), " padded ");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=\"\"\r\n"), "");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=\"mixed'\r\n"), "\"mixed'");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=\"\r\n"), "\"");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=a \"b\"\r\n"), "a \"b\"");
}

TEST_F(IniFile, LinesEndInCrLfOrLf) {
  EXPECT_EQ(Read("[Dirs]\ntexturefiles=lf\nother=x\n"), "lf");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=crlf\r\nother=x\r\n"), "crlf");
  EXPECT_EQ(Read("[Dirs]\r\ntexturefiles=last line"), "last line");
  EXPECT_EQ(Read("[Dirs]\ntexturefiles=\"quoted\"\r\n"), "quoted");
}
