#include <gtest/gtest.h>

#include "../support/TempDir.h"
#include "xml/uXMLReader.h"
#include "xml/uXMLWriter.h"

// What the writer produces, the reader takes back unchanged: names, attribute
// values with the characters that need escaping, text and nesting.
TEST(XmlRoundTrip, WrittenFileReadsBackAsWritten) {
  TTempDir dir;
  const std::string name = dir.File("asset.xml");
  {
    TXMLFileWriter writer(name);
    writer.OpenTag("asset");
    writer.AddProperty("name", "Rock & \"Roll\" <1>");
    writer.OpenTag("files");
    for (const char* file : {"Meshes\\A.mesh", "Materials\\A.material"}) writer.AddElement("file", file);
    writer.OpenTag("empty");
    writer.CloseTag("empty");
    writer.CloseTag("files");
    writer.AddElement("note", "a < b && c > d");
    writer.CloseTag("asset");
    writer.Close();
  }
  // The declaration is what the reader refuses, as the editor never sends one.
  std::string text = TTempDir::Read(name);
  text.erase(0, text.find("\r\n") + 2);
  auto root = TXMLStringReader(text).ReadRootNode();
  EXPECT_EQ(root->Name(), "asset");
  EXPECT_EQ(root->GetProperty("name"), "Rock & \"Roll\" <1>");
  ASSERT_EQ(root->ChildCount(), 2);
  const TXMLNode* files = root->GetChild(0);
  ASSERT_EQ(files->ChildCount(), 3);
  EXPECT_EQ(files->GetChild(0)->Text(), "Meshes\\A.mesh");
  EXPECT_EQ(files->GetChild(1)->Text(), "Materials\\A.material");
  EXPECT_EQ(files->GetChild(2)->Name(), "empty");
  EXPECT_EQ(root->GetChild(1)->Text(), "a < b && c > d");
}
