#include <gtest/gtest.h>

#include "../support/ErrorOf.h"

#include <filesystem>

#include "../support/TempDir.h"
#include "base/uException.h"
#include "xml/uXMLWriter.h"

namespace {
std::string Capture(void (*build)(TXMLWriter&), bool declaration = false) {
  TXMLStringWriter writer;
  writer.WriteDeclaration = declaration;
  build(writer);
  return writer.GetText();
}

void BuildSceneRequest(TXMLWriter& w) {
  w.OpenTag("request");
  w.AddProperty("version", "1.6");
  for (const char* subset : {"materials", "primitives", "lights"}) {
    w.OpenTag(subset);
    w.AddProperty("subset", "all");
    w.CloseTag(subset);
  }
  w.CloseTag("request");
}

constexpr const char* kSceneRequest =
    "<request version=\"1.6\">\r\n"
    "  <materials subset=\"all\" />\r\n"
    "  <primitives subset=\"all\" />\r\n"
    "  <lights subset=\"all\" />\r\n"
    "</request>";
constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n";
}  // namespace

TEST(XmlWriter, SceneRequestComesOutLineForLine) { EXPECT_EQ(Capture(BuildSceneRequest), kSceneRequest); }

TEST(XmlWriter, DeclarationIsWrittenOnceBeforeTheFirstTag) {
  EXPECT_EQ(Capture(BuildSceneRequest, true), std::string(kDeclaration) + kSceneRequest);
  EXPECT_EQ(Capture([](TXMLWriter& w) {
              w.OpenTag("a");
              w.CloseTag("a");
              w.OpenTag("b");
              w.CloseTag("b");
            }, true),
            std::string(kDeclaration) + "<a /><b />");
}

TEST(XmlWriter, DeclarationIsNeverWrittenAfterOtherOutput) {
  EXPECT_EQ(Capture([](TXMLWriter& w) {
              w.OpenTag("a");
              w.WriteDeclaration = true;
              w.OpenTag("b");
              w.CloseTag("b");
              w.CloseTag("a");
            }),
            "<a>\r\n  <b />\r\n</a>");
  // Text added before the first tag is only pending, so the declaration still comes first.
  EXPECT_EQ(Capture([](TXMLWriter& w) {
              w.AddText("x");
              w.OpenTag("a");
              w.CloseTag("a");
            }, true),
            std::string(kDeclaration) + "x<a />");
}

TEST(XmlWriter, EmptyElements) {
  EXPECT_EQ(Capture([](TXMLWriter& w) {
              w.OpenTag("a");
              w.CloseTag("a");
            }),
            "<a />");
  EXPECT_EQ(Capture([](TXMLWriter& w) { w.AddElement("a", ""); }), "<a />");
  EXPECT_EQ(Capture([](TXMLWriter& w) { w.AddElement("a", "x"); }), "<a>x</a>");
}

TEST(XmlWriter, NestingIndentsTwoSpacesPerLevel) {
  EXPECT_EQ(Capture([](TXMLWriter& w) {
              w.OpenTag("p");
              w.OpenTag("c");
              w.CloseTag("c");
              w.CloseTag("p");
            }),
            "<p>\r\n  <c />\r\n</p>");
  EXPECT_EQ(Capture([](TXMLWriter& w) {
              for (const char* name : {"a", "b", "c", "d"}) w.OpenTag(name);
              w.AddElement("translate", "1.0000000 2.0000000 3.0000000");
              for (const char* name : {"d", "c", "b", "a"}) w.CloseTag(name);
            }),
            "<a>\r\n  <b>\r\n    <c>\r\n      <d>\r\n        <translate>1.0000000 2.0000000 3.0000000</translate>\r\n"
            "      </d>\r\n    </c>\r\n  </b>\r\n</a>");
}

TEST(XmlWriter, TextBeforeTheFirstChildFollowsTheStartTag) {
  EXPECT_EQ(Capture([](TXMLWriter& w) {
              w.OpenTag("p");
              w.AddText("t");
              w.OpenTag("c");
              w.CloseTag("c");
              w.CloseTag("p");
            }),
            "<p>t\r\n  <c />\r\n</p>");
}

TEST(XmlWriter, ClosingAnotherNameWritesAnEndTag) {
  EXPECT_EQ(Capture([](TXMLWriter& w) {
              w.OpenTag("a");
              w.CloseTag("b");
            }),
            "<a>\r\n</b>");
}

TEST(XmlWriter, SpecialCharactersAreEscaped) {
  EXPECT_EQ(Capture([](TXMLWriter& w) {
              w.OpenTag("asset");
              w.AddProperty("name", "Rock & \"Roll\" <1>");
              w.AddText("a<b & c>d \"q\"");
              w.CloseTag("asset");
            }),
            "<asset name=\"Rock &amp; &quot;Roll&quot; &lt;1&gt;\">a&lt;b &amp; c&gt;d \"q\"</asset>");
}

TEST(XmlWriter, PropertyWithoutOpenTagIsRefused) {
  TXMLStringWriter writer;
  writer.WriteDeclaration = false;
  EXPECT_EQ(ErrorOf([&] { writer.AddProperty("version", "1"); }), "Couldn't add property \"version\". No tag opened.");
  writer.OpenTag("a");
  writer.OpenTag("b");
  writer.CloseTag("b");
  EXPECT_THROW(writer.AddProperty("late", "1"), TException);
  EXPECT_EQ(writer.GetText(), "<a>\r\n  <b />");
}

TEST(XmlFileWriter, WritesTheDocumentWithDeclaration) {
  TTempDir dir;
  const std::string name = dir.File("request.xml");
  {
    TXMLFileWriter writer(name);
    BuildSceneRequest(writer);
    writer.Close();
  }
  EXPECT_EQ(TTempDir::Read(name), std::string(kDeclaration) + kSceneRequest);
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
}

TEST(XmlFileWriter, AnInterruptedDocumentLeavesTheEarlierFileIntact) {
  TTempDir dir;
  const std::string name = dir.File("physics.xml");
  TTempDir::Write(name, "earlier");
  try {
    TXMLFileWriter writer(name);
    writer.OpenTag("physics_model");
    throw TException("interrupted");
  } catch (const TException&) {
  }
  EXPECT_EQ(TTempDir::Read(name), "earlier");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(XmlFileWriter, CreationFailureNamesTheFile) {
  TTempDir dir;
  const std::string name = dir.File("missing/sub/file.xml");
  EXPECT_EQ(ErrorOf([&] { TXMLFileWriter writer(name); }), "Cannot create file " + name);
}

TEST(XmlFileWriter, ARefusedReplacementIsReportedAndCleanedUp) {
  TTempDir dir;
  const std::string name = dir.File("taken");
  std::filesystem::create_directories(name + "/inside");  // a directory cannot be replaced by a file
  TXMLFileWriter writer(name);
  writer.AddElement("a", "x");
  EXPECT_EQ(ErrorOf([&] { writer.Close(); }), "Cannot write file " + name);
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
  EXPECT_TRUE(std::filesystem::is_directory(name + "/inside"));
}
