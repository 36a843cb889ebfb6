// Primitives read straight from the text, on one thread and on several,
// against the same documents read through the XML tree alone: the scene
// must be the same field for field, and an error the same message.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "../support/SceneDifference.h"
#include "base/uException.h"
#include "base/Parallel.h"
#include "scene/uXMLSceneReader.h"

namespace {
struct TOutcome {
  std::unique_ptr<TScene> Scene;
  std::string Error;
};

// The worker count stays as a test sets it only for the read.
class TWorkers {
public:
  explicit TWorkers(unsigned count) { SetWorkerCount(count); }
  ~TWorkers() { SetWorkerCount(0); }
};

TOutcome Read(const std::string& document, bool fromText, unsigned threads, std::size_t minimumText,
              std::optional<float> smoothingAngle = std::nullopt) {
  const TWorkers workers(threads);
  TXMLSceneReader reader;
  reader.Scale = 10;
  reader.SmoothingAngle = smoothingAngle;
  reader.ReadPrimitivesFromText = fromText;
  reader.MinTextPerReadThread = minimumText;
  TOutcome outcome;
  try {
    outcome.Scene = reader.ReadSceneText(document);
  } catch (const TException& e) {
    outcome.Error = e.Message();
  }
  return outcome;
}

// What the tree alone makes of the document, and whether every way of
// reading from the text makes the same.
void ExpectSameAsTheTree(const std::string& document, const std::string& what) {
  const TOutcome expected = Read(document, false, 1, 1);
  struct TWay {
    unsigned Threads;
    std::size_t MinimumText;
  };
  for (const TWay way : {TWay{1, 1}, TWay{2, 1}, TWay{2, 200}, TWay{3, 1}, TWay{4, 64}, TWay{5, 1000}}) {
    const TOutcome actual = Read(document, true, way.Threads, way.MinimumText);
    const std::string context = what + " (" + std::to_string(way.Threads) + " threads, parts of at least " +
                                std::to_string(way.MinimumText) + " bytes)";
    ASSERT_EQ(actual.Error, expected.Error) << context;
    if (expected.Scene) {
      EXPECT_EQ(SceneDifference(*expected.Scene, *actual.Scene), "") << context;
    }
  }
}

const std::string kMaterials =
    "<materials><category name=\"C\">"
    "<material id=\"bare\" name=\"Bare\" used=\"true\"></material>"
    "<material id=\"one\" name=\"One\" used=\"true\"><layer type=\"texture\" blend=\"replace\">"
    "<texture file=\"a.png\" /></layer></material>"
    "<material id=\"two\" name=\"Two\" used=\"true\"><layer type=\"texture\" blend=\"replace\">"
    "<texture file=\"a.png\" /></layer><layer type=\"lightmap\" blend=\"modulate\"><texture file=\"lm.png\" />"
    "</layer></material>"
    "<material id=\"many\" name=\"Many\" used=\"true\">" +
    [] {
      std::string layers;
      for (int i = 0; i < 11; ++i) layers += "<layer type=\"color\" blend=\"add\"><color r=\"1\" g=\"2\" b=\"3\" /></layer>";
      return layers;
    }() +
    "</material></category></materials>";

// A primitive of a quad and a triangle with one and two UV sets, named n.
std::string Plain(int n) {
  const std::string id = std::to_string(n);
  return "<primitive id=\"p" + id + "\" name=\"Plain " + id +
         "\" type=\"cube\" visible=\"true\" snap=\"vertex\" autoUV=\"false\">\n"
         "  <vertices>\n"
         "    <vertex id=\"a\" x=\"" + id + ".5\" y=\"-2.25\" z=\"0\" />\n"
         "    <vertex id=\"b\" x=\"1e-3\" y=\"-0\" z=\"3.4e37\" />\n"
         "    <vertex id=\"c\" x=\"7\" y=\"8.000001\" z=\"-9.75\" />\n"
         "    <vertex id=\"d\" x=\"0.1\" y=\"0.2\" z=\"0.3\" />\n"
         "  </vertices>\n"
         "  <polygons>\n"
         "    <poly mid=\"one\"><vertex vid=\"a\" u0=\"0\" v0=\"1\" /><vertex vid=\"b\" u0=\"0.5\" v0=\"1\" />"
         "<vertex vid=\"c\" u0=\"1\" v0=\"0.125\" /><vertex vid=\"d\" u0=\"0\" v0=\"0\" /></poly>\n"
         "    <poly mid=\"two\"><vertex vid=\"c\" u0=\"1\" v0=\"2\" u1=\"3\" v1=\"4\" />"
         "<vertex vid=\"b\" u0=\"5\" v0=\"6\" u1=\"7\" v1=\"8\" /><vertex vid=\"a\" u0=\"9\" v0=\"10\" u1=\"11\" v1=\"12\" /></poly>\n"
         "  </polygons>\n"
         "</primitive>";
}

std::string Document(const std::string& primitives, const std::string& after = "") {
  return "<scene>\n<settings name=\"S\" author=\"A\" comments=\"\" shadowOpacity=\"5\" />\n" + kMaterials +
         "\n<primitives>\n" + primitives + "\n</primitives>\n" + after + "</scene>\n";
}

// A primitive whose content is given, among plain ones.
std::string Among(const std::string& primitive) { return Document(Plain(1) + "\n" + primitive + "\n" + Plain(2)); }

std::string Odd(const std::string& attributes, const std::string& content) {
  return "<primitive " + attributes + ">" + content + "</primitive>";
}

const std::string kAttributes = "id=\"q\" name=\"Q\" type=\"grid\" visible=\"yes\" snap=\"none\" autouv=\"TRUE\"";
const std::string kVertices =
    "<vertices><vertex id=\"a\" x=\"1\" y=\"2\" z=\"3\" /><vertex id=\"B\" x=\"4\" y=\"5\" z=\"6\" />"
    "<vertex id=\"c\" x=\"7\" y=\"8\" z=\"9\" /></vertices>";
const std::string kTriangle =
    "<polygons><poly mid=\"one\"><vertex vid=\"a\" u0=\"1\" v0=\"2\" /><vertex vid=\"b\" u0=\"3\" v0=\"4\" />"
    "<vertex vid=\"c\" u0=\"5\" v0=\"6\" /></poly></polygons>";
}  // namespace

TEST(PrimitiveTextReader, PlainPrimitivesReadAsTheTreeReadsThem) {
  std::string primitives;
  for (int i = 0; i < 40; ++i) primitives += Plain(i) + "\n";
  ExpectSameAsTheTree(Document(primitives), "forty plain primitives");
  ExpectSameAsTheTree(Document(Plain(0)), "one primitive");
  ExpectSameAsTheTree(Document(""), "no primitive");
}

TEST(PrimitiveTextReader, SpellingsTheTreeTakesAlike) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"letter case of attribute names", Odd("ID=\"q\" NAME=\"Q\" Type=\"grid\" visible=\"1\" sNaP=\"center\" AUTOUV=\"no\"",
                                             kVertices + kTriangle)},
      {"letter case of element names",
       Odd(kAttributes, "<VERTICES><Vertex id=\"a\" x=\"1\" y=\"2\" z=\"3\" /></VERTICES>")},
      {"an end tag in other letter case", "<primitive " + kAttributes + ">" + kVertices + "</PRIMITIVE>"},
      {"repeated attributes, the last counts",
       Odd(kAttributes + " name=\"Again\"",
           "<vertices><vertex id=\"a\" x=\"1\" x=\"2\" y=\"2\" z=\"3\" id=\"z\" /></vertices>")},
      {"white space everywhere markup allows it",
       "<primitive\t" + kAttributes + " \r\n>\r\n<vertices\n>\t<vertex id = \"a\"\tx=\"1\"y=\"2\"z=\"3\"/>"
       "<vertex id=\"b\" x=\"1\" y=\"2\" z=\"4\" ></vertex ><vertex id=\"c\" x=\"0\" y=\"0\" z=\"0\">\r\n</vertex>"
       "</vertices> <polygons ><poly mid=\"bare\" ><vertex vid=\"a\" u0=\"0\" v0=\"0\" /><vertex vid=\"b\"></vertex>"
       "<vertex vid=\"c\"/></poly></polygons>\n</primitive>"},
      {"entity references in values",
       Odd("id=\"&#113;\" name=\"A &amp; B &lt;&gt;&quot;&apos; &#65; &unknown; &\" type=\"&#103;rid\" visible=\"1\" "
           "snap=\"none\" autouv=\"0\" other=\"&#9999999999;\"",
           "<vertices><vertex id=\"&#97;\" x=\"&#49;.5\" y=\"2\" z=\"3\" extra=\"&amp;\" /></vertices>")},
      {"a numeric reference beyond 32 bits in an attribute no one reads",
       Odd(kAttributes, "<vertices><vertex id=\"a\" x=\"1\" y=\"2\" z=\"3\" w=\"&#4294967296;\" /></vertices>")},
      {"tags", Odd(kAttributes, "<tag>first</tag>" + kVertices + "<tag> type collision | shape box </tag>")},
      {"a blank tag", Odd(kAttributes, "<tag>first</tag><tag> \r\n\t</tag>")},
      {"an empty tag", Odd(kAttributes, "<tag>first</tag><tag />")},
      {"a tag with references", Odd(kAttributes, "<tag a=\"1\">x &amp; y &#10;z</tag>")},
      {"a tag with a child", Odd(kAttributes, "<tag>x<b>y</b>z</tag>")},
      {"a tag with a comment", Odd(kAttributes, "<tag>x<!-- y -->z</tag>")},
      {"comments", Odd(kAttributes, "<!-- a -->" + kVertices + "<polygons><!-- b --></polygons>")},
      {"a comment that looks like the end of a primitive",
       Odd(kAttributes, kVertices + "<!-- </primitive>\n<primitive id=\"x\" name=\"X\" type=\"grid\" visible=\"1\" "
                                    "snap=\"none\" autouv=\"1\"></primitive> -->" + kTriangle)},
      {"a value that looks like the end of a primitive",
       Odd("name=\"</primitive> <primitive id=&quot;x&quot;>\" id=\"q\" type=\"grid\" visible=\"1\" snap=\"none\" "
           "autouv=\"1\"",
           kVertices)},
      {"text", Odd(kAttributes, "some text" + kVertices)},
      {"text among vertices", Odd(kAttributes, "<vertices>x<vertex id=\"a\" x=\"1\" y=\"2\" z=\"3\" /></vertices>")},
      {"unknown elements", Odd(kAttributes, "<pivot x=\"1\"><deep /></pivot>" + kVertices +
                                                "<polygons><group /><poly mid=\"one\"><normal /></poly></polygons>")},
      {"an empty primitive", "<primitive " + kAttributes + " />"},
      {"empty sections", Odd(kAttributes, "<vertices /><polygons></polygons><vertices></vertices>")},
      {"a polygon without corners", Odd(kAttributes, kVertices + "<polygons><poly mid=\"two\" /></polygons>")},
      {"an unknown material", Odd(kAttributes, kVertices + "<polygons><poly mid=\"ONE\"><vertex vid=\"a\" u0=\"0\" v0=\"0\" /></poly>"
                                                           "</polygons>")},
      {"a material without layers", Odd(kAttributes, kVertices + "<polygons><poly mid=\"bare\"><vertex vid=\"a\" "
                                                                 "u0=\"x\" /></poly></polygons>")},
      {"eleven layers",
       Odd(kAttributes, kVertices + "<polygons><poly mid=\"many\"><vertex vid=\"a\" u0=\"0\" v0=\"0\" u1=\"1\" "
                                    "v1=\"1\" u2=\"2\" v2=\"2\" u3=\"3\" v3=\"3\" u4=\"4\" v4=\"4\" u5=\"5\" v5=\"5\" "
                                    "u6=\"6\" v6=\"6\" u7=\"7\" v7=\"7\" u8=\"8\" v8=\"8\" u9=\"9\" v9=\"9\" u10=\"10\" "
                                    "V10=\"10\" u11=\"x\" u01=\"x\" /></poly></polygons>")},
      {"coordinate names beyond the layers, or not as the reader names them",
       Odd(kAttributes, kVertices + "<polygons><poly mid=\"one\"><vertex vid=\"A\" U0=\"1\" v0=\"2\" u1=\"x\" "
                                    "u00=\"x\" v=\"x\" /></poly></polygons>")},
      {"vertex identifiers in other letter case, and twice",
       Odd(kAttributes, "<vertices><vertex id=\"a\" x=\"1\" y=\"2\" z=\"3\" /><vertex id=\"A\" x=\"4\" y=\"5\" z=\"6\" />"
                        "</vertices><polygons><poly mid=\"bare\"><vertex vid=\"A\" /><vertex vid=\"a\" u0=\"0\" v0=\"0\" /></poly>"
                        "</polygons><vertices><vertex id=\"b\" x=\"0\" y=\"0\" z=\"0\" /></vertices>"
                        "<polygons><poly mid=\"bare\"><vertex vid=\"B\" /></poly></polygons>")},
      {"a primitive inside a primitive", Odd(kAttributes, Odd(kAttributes, kVertices))},
      {"a primitive without attributes", "<primitive>" + kVertices + "</primitive>"},
      {"numbers of every form", Odd(kAttributes, "<vertices><vertex id=\"a\" x=\" 1\" y=\"+2.\" z=\"-.5e1\" />"
                                                 "<vertex id=\"b\" x=\"1E-50\" y=\"-1e-50\" z=\"00012.50000\" />"
                                                 "<vertex id=\"c\" x=\"0.1000000000000000055511151231257827\" "
                                                 "y=\"16777217\" z=\"3.4028235e37\" /></vertices>")},
  };
  for (const auto& [what, primitive] : cases) ExpectSameAsTheTree(Among(primitive), what);
}

TEST(PrimitiveTextReader, ErrorsAreTheTreesErrors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"an unknown type", Odd("id=\"q\" name=\"Q\" type=\"blob\" visible=\"1\" snap=\"none\" autouv=\"1\"", "")},
      {"an unknown snap", Odd("id=\"q\" name=\"Q\" type=\"grid\" visible=\"1\" snap=\"grid\" autouv=\"1\"", "")},
      {"a missing attribute", Odd("id=\"q\" name=\"Q\" type=\"grid\" visible=\"1\" snap=\"none\"", "")},
      {"a vertex without id", Odd(kAttributes, "<vertices><vertex x=\"1\" y=\"2\" z=\"3\" /></vertices>")},
      {"a vertex without z", Odd(kAttributes, "<vertices><vertex id=\"a\" x=\"1\" y=\"2\" /></vertices>")},
      {"a coordinate that is no number", Odd(kAttributes, "<vertices><vertex id=\"a\" x=\"1\" y=\"2,5\" z=\"3\" />"
                                                          "</vertices>")},
      {"a coordinate beyond the float range once scaled",
       Odd(kAttributes, "<vertices><vertex id=\"a\" x=\"1\" y=\"3.4e38\" z=\"3\" /></vertices>")},
      {"a polygon without material", Odd(kAttributes, kVertices + "<polygons><poly><vertex vid=\"a\" u0=\"0\" v0=\"0\" /></poly>"
                                                                  "</polygons>")},
      {"a corner without vertex", Odd(kAttributes, kVertices + "<polygons><poly mid=\"bare\"><vertex /></poly>"
                                                               "</polygons>")},
      {"an unknown vertex", Odd(kAttributes, kVertices + "<polygons><poly mid=\"bare\"><vertex vid=\"d\" u0=\"0\" v0=\"0\" /></poly>"
                                                         "</polygons>")},
      {"polygons before their vertices", Odd(kAttributes, kTriangle + kVertices)},
      {"a missing texture coordinate", Odd(kAttributes, kVertices + "<polygons><poly mid=\"two\"><vertex vid=\"a\" "
                                                                    "u0=\"1\" v0=\"2\" u1=\"3\" /></poly></polygons>")},
      {"a texture coordinate that is no number",
       Odd(kAttributes, kVertices + "<polygons><poly mid=\"one\"><vertex vid=\"a\" u0=\"1\" v0=\"nan\" /></poly>"
                                    "</polygons>")},
      {"a numeric reference beyond 32 bits", Odd(kAttributes, "<tag>&#99999999999;</tag>")},
      {"a start tag whose name runs into a slash", Odd(kAttributes, "<vertices><vertex/></vertices>")},
      {"a single-quoted value", Odd(kAttributes, "<polygons><poly mid='one'></poly></polygons>")},
      {"an end tag that does not match", Odd(kAttributes, "<vertices></vertex>")},
      {"an end tag with a blank", Odd(kAttributes, "<vertices></vertices >")},
      {"a value without its end", "<primitive id=\"q"},
      {"a declaration", Odd(kAttributes, "<?x?>")},
      {"a scene error, then a syntax error",
       Odd("id=\"q\" name=\"Q\" type=\"blob\" visible=\"1\" snap=\"none\" autouv=\"1\"", "") + "<bad<"},
  };
  for (const auto& [what, primitive] : cases) {
    const std::string document = Among(primitive);
    ASSERT_NE(Read(document, false, 1, 1).Error, "") << what;
    ExpectSameAsTheTree(document, what);
  }
  // The input ends inside a primitive.
  const std::string cut = Document(Plain(1) + Plain(2));
  for (std::size_t length : {cut.find("<poly mid=\"two\"") + 5, cut.rfind("</primitive>") + 3})
    ExpectSameAsTheTree(cut.substr(0, length), "the input ending at " + std::to_string(length));
}

TEST(PrimitiveTextReader, SectionsAroundAndBetweenThePrimitives) {
  // Materials read after a first section of primitives change what the
  // polygons of a second section find.
  const std::string materialsLater = "<scene><primitives>" + Plain(1) + Plain(2) + "</primitives>" + kMaterials +
                                     "<primitives>" + Plain(3) + Plain(4) + "</primitives></scene>";
  ExpectSameAsTheTree(materialsLater, "materials between two sections");
  // Attributes on the section, text and comments between primitives.
  ExpectSameAsTheTree(Document("<!-- </primitive> <primitive x -->" + Plain(1) + "text" + Plain(2) + "<!-- c -->" +
                               Plain(3) + "<other>" + Plain(4) + "</other>" + Plain(5)),
                      "comments, text and another element between primitives");
  ExpectSameAsTheTree("<scene>" + kMaterials + "<primitives count=\"2\">" + Plain(1) + Plain(2) + "</primitives></scene>",
                      "a section with attributes");
  ExpectSameAsTheTree("<scene>" + kMaterials + "<group><primitives>" + Plain(1) + "</primitives></group></scene>",
                      "a section deeper down");
  ExpectSameAsTheTree(Document(Plain(1) + Plain(2), "<lights><light id=\"l\" type=\"point\" name=\"L\" range=\"3\" "
                                                    "active=\"1\" intensity=\"1\" /></lights>"),
                      "lights after the primitives");
}

TEST(PrimitiveTextReader, ManyPrimitivesWithOddOnesAmongThem) {
  // Long enough for many parts on every thread count, with primitives the
  // text reader gives up on, and look-alikes of a part's start, here and
  // there: at every cut the threads must agree with the tree.
  std::string primitives;
  for (int i = 0; i < 120; ++i) {
    primitives += Plain(i) + "\n";
    if (i % 17 == 3) primitives += "<!-- </primitive>\n<primitive id=\"fake\" -->\n";
    if (i % 23 == 5) primitives += Odd(kAttributes, "<!-- odd -->" + kVertices) + "\n";
    if (i % 29 == 7) primitives += Odd("name=\"</primitive> <primitive \" id=\"v\" type=\"grid\" visible=\"1\" snap=\"none\" autouv=\"1\"", kVertices) + "\n";
  }
  const std::string document = Document(primitives);
  ExpectSameAsTheTree(document, "120 primitives with odd ones");
  // A scene error late in the document, and a syntax error after it.
  const std::string failing = Document(primitives + Odd(kAttributes, kTriangle) + Plain(999));
  ExpectSameAsTheTree(failing, "an unknown vertex late in the document");
  ExpectSameAsTheTree(failing.substr(0, failing.size() - 20) + "<bad<", "then a syntax error");
}

TEST(PrimitiveTextReader, NumbersInTheEditorsFormReadAsTheNumberReaderReadsThem) {
  // Every number must come out of the text as StrToFloat reads it for the
  // tree: random numbers of every length of both parts, and texts at the
  // edges of the quick road and of the grammar.
  std::mt19937_64 random(20261210);
  std::vector<std::string> numbers = {"0",       "-0",         "0.0",          "-0.000000",  "5.",       "-5.",
                                      ".5",      "1234567",    "12345678",     "1234567.5",  "0.12345678", "0.123456789",
                                      "9999999.99999999", "16777217", "16777217.0", "1.5e3", "+2", " 3",
                                      "3.4028235e37", "0.00000001", "7.00000000"};
  for (int i = 0; i < 3000; ++i) {
    std::string text = i % 2 ? "-" : "";
    const int integerDigits = 1 + static_cast<int>(random() % 8);
    for (int d = 0; d < integerDigits; ++d) text += static_cast<char>('0' + random() % 10);
    const int decimals = static_cast<int>(random() % 10);
    if (decimals > 0 || i % 7 == 0) text += '.';
    for (int d = 0; d < decimals; ++d) text += static_cast<char>('0' + random() % 10);
    numbers.push_back(text);
  }
  std::string vertices, corners;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const std::string id = "n" + std::to_string(i);
    const std::string& number = numbers[i];
    vertices += "<vertex id=\"" + id + "\" x=\"" + number + "\" y=\"" + number + "\" z=\"1\" />\n";
    corners += "<vertex vid=\"" + id + "\" u0=\"" + number + "\" v0=\"" + numbers[numbers.size() - 1 - i] + "\" />\n";
  }
  const std::string primitive =
      Odd(kAttributes, "<vertices>" + vertices + "</vertices><polygons><poly mid=\"one\">" + corners + "</poly></polygons>");
  const std::string document = Among(primitive);
  ASSERT_EQ(Read(document, false, 1, 1).Error, "");
  ExpectSameAsTheTree(document, "numbers in the editor's form");
}

TEST(PrimitiveTextReader, NormalsGivenWhileReadingAreThoseOfTheScenesPass) {
  // Primitives read from the text get their normals on the thread that read
  // them; the scene's pass then does the rest (those the tree read). The
  // result must be the pass's alone, and a primitive whose normals fail must
  // fail at the pass, as before, and not the read.
  // Two triangles meeting at a right angle: smoothed or not by the angle.
  const std::string hinge = Odd(kAttributes,
                                "<vertices><vertex id=\"a\" x=\"0\" y=\"0\" z=\"0\" /><vertex id=\"b\" x=\"1\" y=\"0\" z=\"0\" />"
                                "<vertex id=\"c\" x=\"0\" y=\"1\" z=\"0\" /><vertex id=\"d\" x=\"0\" y=\"0\" z=\"1\" /></vertices>"
                                "<polygons><poly mid=\"one\"><vertex vid=\"a\" u0=\"0\" v0=\"0\" /><vertex vid=\"b\" u0=\"0\" v0=\"0\" /><vertex vid=\"c\" u0=\"0\" v0=\"0\" /></poly>"
                                "<poly mid=\"one\"><vertex vid=\"b\" u0=\"0\" v0=\"0\" /><vertex vid=\"a\" u0=\"0\" v0=\"0\" /><vertex vid=\"d\" u0=\"0\" v0=\"0\" /></poly></polygons>");
  std::string primitives;
  for (int i = 0; i < 60; ++i) {
    primitives += Plain(i) + "\n" + hinge + "\n";
    if (i % 23 == 5) primitives += Odd(kAttributes, "<!-- odd -->" + kVertices + kTriangle) + "\n";
  }
  const auto withPass = [](TOutcome outcome) {
    if (outcome.Scene) {
      try {
        outcome.Scene->CalculateNormals(66);
      } catch (const TException& e) {
        outcome.Error = e.Message();
      }
    }
    return outcome;
  };
  const std::string document = Document(primitives);
  const TOutcome expected = withPass(Read(document, false, 1, 1));
  ASSERT_EQ(expected.Error, "");
  for (const unsigned threads : {1u, 2u, 3u}) {
    const TOutcome read = Read(document, true, threads, 1, 66.0f);
    ASSERT_EQ(read.Error, "");
    EXPECT_TRUE(read.Scene->GetPrimitive(0).HasNormals()) << "the reader gave none";
    EXPECT_FALSE(read.Scene->GetPrimitive(12).HasNormals()) << "the tree's primitive is the pass's";
    const TOutcome actual = withPass(Read(document, true, threads, 1, 66.0f));
    EXPECT_EQ(SceneDifference(*expected.Scene, *actual.Scene), "") << threads << " threads";
  }

  // A polygon without corners: the read succeeds, the pass raises.
  const std::string failing = Document(primitives + Odd(kAttributes, kVertices + "<polygons><poly mid=\"one\"></poly></polygons>") +
                                       "\n" + Plain(999));
  ASSERT_EQ(withPass(Read(failing, false, 1, 1)).Error, "List index out of bounds (-1)");
  for (const unsigned threads : {1u, 2u, 3u}) {
    const TOutcome read = Read(failing, true, threads, 1, 66.0f);
    ASSERT_EQ(read.Error, "") << threads << " threads";
    EXPECT_FALSE(read.Scene->GetPrimitive(read.Scene->PrimitiveCount() - 2).HasNormals());
    EXPECT_EQ(withPass(Read(failing, true, threads, 1, 66.0f)).Error, "List index out of bounds (-1)");
  }
  // With a syntax error behind it, the syntax error is the one reported.
  EXPECT_EQ(Read(failing + "<", true, 2, 1, 66.0f).Error, Read(failing + "<", false, 1, 1).Error);
}
