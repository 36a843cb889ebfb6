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
  // Blanks inside the name are kept as they are, those around it are not part of it.
  EXPECT_EQ(Text("  material   A  B\t \n"), "  material   \"A  B\"\t \n");
  EXPECT_EQ(Text("material\tA\tB"), "material\t\"A\tB\"");
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
