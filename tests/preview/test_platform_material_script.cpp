// The material script as the platform reads it: a name with blanks reaches
// OGRE's compiler whole, in double quotes; nothing else changes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview/uPlatformMaterialScript.h"

namespace {
std::string Text(const std::string& script) { return PlatformMaterialScript(script).Text; }
}  // namespace

TEST(PlatformMaterialScript, QuotesANameWithBlanks) {
  EXPECT_EQ(Text("material Crate_Wood Dark\r\n{\r\n}\r\n"), "material \"Crate_Wood Dark\"\r\n{\r\n}\r\n");
  EXPECT_EQ(Text("material Tinted glass\n{\n}\n"), "material \"Tinted glass\"\n{\n}\n");
  // The name is the rest of the line after the keyword and one blank,
  // blanks around it included, as the platform reads it.
  EXPECT_EQ(Text("  material   A  B\t \n"), "  material \"  A  B\t \"\n");
  EXPECT_EQ(Text("material\tA\tB"), "material\t\"A\tB\"");
}

TEST(PlatformMaterialScript, QuotesEveryNameThatOgreWouldReadAsSyntax) {
  // A colon reads as inheritance, braces as blocks, a leading "$" as a
  // variable, a leading "//" as a comment; blanks at either end would be lost.
  for (const std::string name : {"Stone:Wet", "Brick{old}", "Left}", "$price", "//notes", " Lead", "Trail "})
    EXPECT_EQ(Text("material " + name + "\r\n{\r\n}\r\n"), "material \"" + name + "\"\r\n{\r\n}\r\n") << name;
  // Names OGRE reads whole stay bare, as the exporter writes them for OGRE.
  for (const std::string name : {"Plain", "Crate_Wood", "a$b", "x/y", "LightMapped0"})
    EXPECT_EQ(Text("material " + name + "\n"), "material " + name + "\n") << name;
}

TEST(PlatformMaterialScript, LeavesEverythingElseAlone) {
  const std::vector<std::string> unchanged = {
      "material Plain\r\n{\r\n    technique\r\n    {\r\n    }\r\n}\r\n",
      "material \"Wood Dark\"\r\n{\r\n}\r\n",  // quoted already, as the exporter writes for OGRE 1.12 on request
      "material \"Wood Dark\"  \n",
      "// material Wood Dark\n",
      "materials Wood Dark\n",
      "material\n",
      "",
      "texture stone wall.png\n",
  };
  for (const std::string& script : unchanged) {
    const TPlatformMaterialScript result = PlatformMaterialScript(script);
    EXPECT_EQ(result.Text, script);
    EXPECT_TRUE(result.Problems.empty()) << script;
  }
}

TEST(PlatformMaterialScript, QuotesEveryMaterialOfAScript) {
  EXPECT_EQ(Text("material A B\n{\n}\n\nmaterial C\n{\n}\nmaterial D E F"),
            "material \"A B\"\n{\n}\n\nmaterial C\n{\n}\nmaterial \"D E F\"");
}

TEST(PlatformMaterialScript, ANameWithBlanksAndAQuoteCannotBeGivenWhole) {
  const TPlatformMaterialScript result = PlatformMaterialScript("material 12\" pipe\n{\n}\n");
  EXPECT_EQ(result.Text, "material 12\" pipe\n{\n}\n");
  ASSERT_EQ(result.Problems.size(), 1u);
  EXPECT_NE(result.Problems[0].find("12\" pipe"), std::string::npos) << result.Problems[0];
}
