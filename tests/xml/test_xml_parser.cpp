#include <gtest/gtest.h>

#include "../support/AddressSpace.h"
#include "../support/ErrorOf.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/uException.h"
#include "xml/uXMLEntities.h"
#include "xml/uXMLReader.h"

namespace {
std::unique_ptr<TXMLNode> Parse(std::string text) { return TXMLStringReader(std::move(text)).ReadRootNode(); }

std::string ParseError(std::string text) {
  return ErrorOf([&] { Parse(std::move(text)); });
}

// The error of a lookup by name, which a lookup by key must repeat.
std::string ParseErrorOfName(const TXMLNode& node, std::string_view name) {
  return ErrorOf([&] { node.GetProperty(name); });
}
}  // namespace

TEST(XmlParser, ElementsAttributesAndChildrenInDocumentOrder) {
  auto root = Parse("<scene version=\"2\">\r\n  <a x=\"1\"/>\r\n  <b >\r\n  </b>\r\n  <c />\r\n</scene>");
  EXPECT_EQ(root->Name(), "scene");
  EXPECT_EQ(root->GetProperty("version"), "2");
  ASSERT_EQ(root->ChildCount(), 3);
  EXPECT_EQ(root->GetChild(0)->Name(), "a");
  EXPECT_EQ(root->GetChild(0)->GetIntProperty("x"), 1);
  EXPECT_EQ(root->GetChild(1)->Name(), "b");
  EXPECT_EQ(root->GetChild(1)->ChildCount(), 0);
  EXPECT_EQ(root->GetChild(2)->Name(), "c");
  // "<c" starts at index 53; its name ends with the blank at index 55.
  EXPECT_EQ(root->GetChild(2)->Position(), 57);
}

TEST(XmlParser, NamesAreLowerCasedAndLookupsIgnoreCase) {
  auto root = Parse("<A B=\"x\"></a>");
  EXPECT_EQ(root->Name(), "a");
  EXPECT_TRUE(root->HasProperty("b"));
  EXPECT_TRUE(root->HasProperty("B"));
  EXPECT_EQ(root->GetProperty("B"), "x");
  EXPECT_FALSE(root->HasProperty("c"));
}

TEST(XmlParser, TextIsDecodedAndJoinedAcrossChildren) {
  auto root = Parse("<a>x<b y=\"1\" />y</a>");
  EXPECT_EQ(root->Text(), "xy");
  EXPECT_EQ(root->ChildCount(), 1);
  EXPECT_EQ(Parse("<a> </a>")->Text(), "");
  EXPECT_EQ(Parse("<a> x </a>")->Text(), " x ");
  EXPECT_EQ(Parse("<a n=\"&quot;R &amp; R&quot;\">&lt;tag&gt; &apos;</a>")->GetProperty("n"), "\"R & R\"");
  EXPECT_EQ(Parse("<a>&lt;tag&gt; &apos;</a>")->Text(), "<tag> '");
}

TEST(XmlParser, RepeatedAttributeKeepsTheLastValue) {
  auto root = Parse("<a x=\"1\" X=\"2\" y=\"3\" x=\"4\" />");
  EXPECT_EQ(root->GetProperty("x"), "4");
  EXPECT_EQ(root->GetProperty("y"), "3");
}

TEST(XmlParser, TypedAttributes) {
  auto root = Parse("<a t1=\"TRUE\" t2=\"1\" t3=\"Yes\" f1=\"no\" f2=\"2\" i=\"-17\" r=\"0.5\" bad=\"0.5x\" />");
  for (const char* name : {"t1", "t2", "t3"}) EXPECT_TRUE(root->GetBoolProperty(name)) << name;
  for (const char* name : {"f1", "f2", "bad"}) EXPECT_FALSE(root->GetBoolProperty(name)) << name;
  EXPECT_EQ(root->GetIntProperty("i"), -17);
  EXPECT_EQ(root->GetFloatProperty("r"), 0.5f);
  EXPECT_EQ(ErrorOf([&] { root->GetIntProperty("r"); }), "'0.5' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { root->GetFloatProperty("bad"); }), "'0.5x' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([&] { root->GetProperty("missing"); }), "Property \"missing\" not found for node \"a\".");
}

TEST(XmlParser, StructuralErrors) {
  EXPECT_EQ(ParseError("<a>\r\n\r\n  </b>"), "Opening tag \"a\" doesn't mach closing tag \"b\" (3,7)");
  EXPECT_EQ(ParseError("<a><b></a>"), "Opening tag \"b\" doesn't mach closing tag \"a\" (1,11)");
  EXPECT_EQ(ParseError("<a><b><c></c>"), "Closing tag missing for opening tag b");
  EXPECT_EQ(ParseError("<a></a><b></b>"), "Only 1 root node supported.");
  EXPECT_EQ(ParseError("ab?"), "Unexpected text encountered outside root node.");
  EXPECT_EQ(ParseError("<a></a>x"), "Unexpected text encountered outside root node.");
  EXPECT_EQ(ParseError("</a>"), "List index out of bounds (-1)");
  EXPECT_EQ(ParseError("<a x=\"&#99999999999;\" />"), "'99999999999' is not a valid integer value");
}

TEST(XmlParser, DocumentsWithoutAnElementHaveNoRoot) {
  const std::string noData = "Could not read rootnode from xml: no data available.";
  EXPECT_EQ(ParseError(""), noData);
  EXPECT_EQ(ParseError(" \r\n <!-- only a comment --> \r\n"), noData);
}

TEST(XmlParser, OneTrailingCharacterIsAcceptedLikeSeveral) {
  EXPECT_EQ(Parse("<a />\n")->Name(), "a");
  EXPECT_EQ(Parse("<a />\r\n")->Name(), "a");
}

TEST(XmlParser, ProgressIsReportedEvery32Tokens) {
  std::string text = "<r>";
  for (int i = 0; i < 40; ++i) text += "<v i=\"" + std::to_string(i) + "\" />";
  text += "</r>";
  TXMLStringReader reader(text);
  std::vector<std::pair<int32_t, int32_t>> calls;
  reader.OnProgress = [&](int32_t position, int32_t total) { calls.emplace_back(position, total); };
  reader.ReadRootNode();
  // 1 + 40 * 4 + 1 = 162 tokens: reports after tokens 32, 64, 96, 128 and 160.
  ASSERT_EQ(calls.size(), 5u);
  for (const auto& [position, total] : calls) EXPECT_EQ(total, static_cast<int32_t>(text.size()));
  EXPECT_LT(calls[0].first, calls[1].first);
}

TEST(XmlParser, DeepNestingNeitherOverflowsNorLeaks) {
  constexpr int depth = 200000;
  std::string text;
  text.reserve(depth * 8);
  for (int i = 0; i < depth; ++i) text += "<n>";
  for (int i = 0; i < depth; ++i) text += "</n>";
  auto root = Parse(text);
  const TXMLNode* node = root.get();
  int levels = 1;
  while (node->ChildCount() == 1) {
    node = node->GetChild(0);
    ++levels;
  }
  EXPECT_EQ(levels, depth);
}

TEST(XmlNode, HandBuiltTreesOwnTheirChildren) {
  auto root = std::make_unique<TXMLNode>("Root", 0);
  auto child = std::make_unique<TXMLNode>("child", 5);
  child->SetProperty("Key", "v1");
  child->SetProperty("KEY", "v2");
  child->AppendText("a");
  child->AppendText("b");
  TXMLNode* kept = child.get();
  root->AddChild(std::move(child));
  EXPECT_EQ(root->Name(), "root");
  ASSERT_EQ(root->ChildCount(), 1);
  EXPECT_EQ(root->GetChild(0), kept);
  EXPECT_EQ(kept->GetProperty("key"), "v2");
  EXPECT_EQ(kept->Text(), "ab");
  EXPECT_EQ(ErrorOf([&] { root->GetChild(1); }), "List index out of bounds (1)");
  // A parsed tree accepts hand-built children too; freeing it frees them (checked by the leak sanitizer).
  auto parsed = Parse("<a><b /></a>");
  parsed->GetChild(0)->AddChild(std::make_unique<TXMLNode>("c", 0));
  EXPECT_EQ(parsed->GetChild(0)->GetChild(0)->Name(), "c");
}

TEST(XmlEntities, DecodingIsSinglePass) {
  EXPECT_EQ(DecodeEntities("&lt;&#65;&amp;amp;&bogus;"), "<A&amp;&bogus;");
  EXPECT_EQ(DecodeEntities("&#x41;"), "&#x41;");
  EXPECT_EQ(DecodeEntities("&#;&AMP;"), "&#;&AMP;");
  EXPECT_EQ(DecodeEntities("a & b &lt; c"), "a & b < c");
  EXPECT_EQ(DecodeEntities("tail &amp no semicolon"), "tail &amp no semicolon");
  EXPECT_EQ(DecodeEntities("&#321;&#10;"), std::string("A\n"));
  EXPECT_EQ(DecodeEntities("&#256;"), std::string(1, '\0'));
}

namespace {
// A document of many megabytes: lines of children, some with CR LF, some
// with LF only, and a long text, so that lines and columns after the part
// given back depend on every kind of character in it.
// With `lineFeedsOnly` every line ends in LF alone.
std::string LargeDocument(const std::string& tail, bool lineFeedsOnly = false) {
  std::string text = "<scene>\r\n";
  for (int i = 0; i < 200000; ++i) {
    text += "  <item id=\"i" + std::to_string(i) + "\" value=\"" + std::string(static_cast<std::size_t>(i % 50), 'x') + "\" />";
    text += i % 3 == 0 || lineFeedsOnly ? "\n" : "\r\n";
    if (i % 10000 == 0) text += "<note>" + std::string(100000, 'n') + (lineFeedsOnly ? "</note>\n" : "</note>\r\n");
  }
  return text + tail;
}

std::string ParseErrorReleasing(std::string text) {
  return ErrorOf([&] {
    TXMLStringReader reader(std::move(text));
    reader.ReleaseTextWhileParsing = true;
    reader.ReadRootNode();
  });
}

// A reader over a releasable copy of `text`, which gives back the buffer's
// addresses on every system; `start` is where the copy begins.
TXMLBufferReader BufferReader(const std::string& text, const char** start = nullptr) {
  TReleasableBuffer buffer(text.size());
  std::memcpy(buffer.Data(), text.data(), text.size());
  if (start) *start = buffer.Data();
  const std::string_view view(buffer.Data(), text.size());
  return TXMLBufferReader(std::move(buffer), view);
}
}  // namespace

TEST(XmlParser, ReleasingTheTextWhileParsingGivesTheSameTree) {
  const std::string text = LargeDocument("</scene>");
  ASSERT_GT(text.size(), 10u * 1024 * 1024);
  auto kept = Parse(text);
  TXMLStringReader reader(text);
  reader.ReleaseTextWhileParsing = true;
  auto released = reader.ReadRootNode();
  ASSERT_EQ(released->ChildCount(), kept->ChildCount());
  for (int i = 0; i < kept->ChildCount(); ++i) {
    ASSERT_EQ(released->GetChild(i)->Name(), kept->GetChild(i)->Name());
    ASSERT_EQ(released->GetChild(i)->Text(), kept->GetChild(i)->Text());
    if (released->GetChild(i)->HasProperty("value")) {
      ASSERT_EQ(released->GetChild(i)->GetProperty("value"), kept->GetChild(i)->GetProperty("value"));
    }
  }
  // The reader holds no text any more.
  EXPECT_EQ(ErrorOf([&] { reader.ReadRootNode(); }), "Could not read rootnode from xml: no data available.");
}

TEST(XmlParser, ErrorsAfterTheReleasedTextNameTheirLineAndColumn) {
  for (const std::string tail : {"  <a>\r\n</b>", "  <a x=\"1\" <"}) {
    for (const bool lineFeedsOnly : {false, true}) {
      const std::string text = LargeDocument(tail, lineFeedsOnly);
      const std::string expected = ParseError(text);
      EXPECT_EQ(ParseErrorReleasing(text), expected) << tail;
      EXPECT_EQ(ErrorOf([&] { BufferReader(text).ReadRootNode(); }), expected) << tail;
    }
  }
}

TEST(XmlParser, ABufferedDocumentGivesBackItsAddressesWhileItIsParsed) {
  const std::string text = LargeDocument("</scene>");
  const char* start = nullptr;
  TXMLBufferReader reader = BufferReader(text, &start);
  bool freedBeforeTheEnd = false;
  reader.OnProgress = [&](int32_t position, int32_t total) {
    if (position > total - total / 10) freedBeforeTheEnd = freedBeforeTheEnd || IsAddressFree(start);
  };
  const auto root = reader.ReadRootNode();
  if (AddressesStayFreeAfterRelease) {
    EXPECT_TRUE(freedBeforeTheEnd) << "the start of the text was still in use near its end";
  }
  EXPECT_TRUE(IsAddressFree(start + text.size() - 1)) << "the buffer is freed when the parse ends";
  const auto kept = Parse(text);
  ASSERT_EQ(root->ChildCount(), kept->ChildCount());
  for (int i = 0; i < kept->ChildCount(); i += 997) {
    EXPECT_EQ(root->GetChild(i)->Text(), kept->GetChild(i)->Text());
    if (kept->GetChild(i)->HasProperty("value")) {
      EXPECT_EQ(root->GetChild(i)->GetProperty("value"), kept->GetChild(i)->GetProperty("value"));
    }
  }
}


TEST(XmlParser, HandedOverElementsLeaveTheTreeAndTheirStorageIsReused) {
  // Every item of the large document is handed over except each 1000th,
  // which must come out whole although the items after it were stored in
  // the storage given back by those before.
  const std::string text = LargeDocument("</scene>");
  TXMLStringReader reader(text);
  reader.HandOverDepth = 1;
  std::vector<std::string> seen;
  int handedOver = 0;
  reader.OnElementEnd = [&](TXMLNode& element, TXMLNode& parent, int depth) {
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(parent.Name(), "scene");
    if (element.Name() != "item") return true;
    const std::string id(element.GetProperty("id"));
    if (std::stoi(id.substr(1)) % 1000 == 0) {
      seen.push_back(id + "=" + std::string(element.GetProperty("value")));
      return false;
    }
    ++handedOver;
    return true;
  };
  auto root = reader.ReadRootNode();
  EXPECT_EQ(handedOver, 199800);
  ASSERT_EQ(root->ChildCount(), 200);
  for (int i = 0; i < root->ChildCount(); ++i) {
    const TXMLNode& child = *root->GetChild(i);
    ASSERT_EQ(std::string(child.GetProperty("id")) + "=" + std::string(child.GetProperty("value")),
              seen[static_cast<std::size_t>(i)]);
  }
  // The whole tree of the same document takes several times more.
  EXPECT_LT(root->TreeBytes() * 8, Parse(text)->TreeBytes());
}

TEST(XmlParser, HandOverReachesOnlyTheDepthsAskedFor) {
  TXMLStringReader reader("<r><a><b><c /></b></a><d big=\"" + std::string(1 << 20, 'x') + "\"/></r>");
  reader.HandOverDepth = 2;
  std::vector<std::string> calls;
  reader.OnElementEnd = [&](TXMLNode& element, TXMLNode& parent, int depth) {
    calls.push_back(std::string(parent.Name()) + ">" + std::string(element.Name()) + "@" + std::to_string(depth));
    // <b> is handed over with its child; a large value has a block of its own.
    return element.Name() == "b" || element.Name() == "d";
  };
  auto root = reader.ReadRootNode();
  EXPECT_EQ(calls, (std::vector<std::string>{"a>b@2", "r>a@1", "r>d@1"}));
  ASSERT_EQ(root->ChildCount(), 1);
  EXPECT_EQ(root->GetChild(0)->Name(), "a");
  EXPECT_EQ(root->GetChild(0)->ChildCount(), 0);
  EXPECT_LT(root->TreeBytes(), 1u << 20);
}

TEST(XmlParser, PropertyKeysFindWhatNamesFind) {
  auto root = Parse("<r><a X=\"1.5\" y=\"2\" /><b x=\"3\" /><c /></r>");
  // A key for a name that no element of the tree carries yet is good too.
  const TXMLNode::TPropertyKey x = root->KeyOf("x"), y = root->GetChild(2)->KeyOf("Y"), z = root->KeyOf("z");
  EXPECT_EQ(root->GetChild(0)->GetProperty(x), "1.5");
  EXPECT_EQ(root->GetChild(0)->GetFloatProperty(x), 1.5f);
  EXPECT_EQ(root->GetChild(0)->GetProperty(y), "2");
  EXPECT_EQ(root->GetChild(1)->GetFloatProperty(x), 3.0f);
  EXPECT_EQ(ErrorOf([&] { root->GetChild(1)->GetProperty(y); }), ParseErrorOfName(*root->GetChild(1), "y"));
  EXPECT_EQ(ErrorOf([&] { root->GetChild(2)->GetProperty(z); }), "Property \"z\" not found for node \"c\".");
  EXPECT_EQ(ErrorOf([&] { root->GetChild(2)->GetProperty(TXMLNode::TPropertyKey()); }),
            "Property \"\" not found for node \"c\".");
}

TEST(HostReply, TrimmingDropsEveryCodeUpToTheSpaceAtBothEndsOnly) {
  using namespace std::string_literals;
  EXPECT_EQ(TrimHostReply("\0\x01\t\r\n <a> \0 </a>\r\n \x1f\0\0"s), "<a> \0 </a>"s);
  EXPECT_EQ(TrimHostReply("!x!"), "!x!");
  // Bytes above 127 are not blanks, however a plain char compares them.
  EXPECT_EQ(TrimHostReply(" \xA0x\xFF "), "\xA0x\xFF");
  EXPECT_EQ(TrimHostReply(" \r\n\0 "s), "");
  EXPECT_EQ(TrimHostReply(""), "");
}
