#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "../support/ErrorOf.h"
#include "scene/uXMLSceneReader.h"

namespace {
std::unique_ptr<TScene> Read(const std::string& body, float scale = 1.0f) {
  TXMLSceneReader reader;
  reader.Scale = scale;
  return reader.ReadSceneText("<scene>" + body + "</scene>");
}

std::string ReadError(const std::string& body) {
  return ErrorOf([&] { Read(body); });
}

std::string Material(const std::string& id, const std::string& layers, const std::string& name = "M") {
  return "<material id=\"" + id + "\" name=\"" + name + "\" used=\"true\">" + layers + "</material>";
}

std::string Materials(const std::string& materials) {
  return "<materials><category name=\"C\">" + materials + "</category></materials>";
}

std::string Layer(const std::string& type, const std::string& blend = "replace", const std::string& content = "") {
  return "<layer type=\"" + type + "\" blend=\"" + blend + "\">" + content + "</layer>";
}

const std::string kTextureFile = "<texture file=\"t.jpg\" />";

std::string Primitive(const std::string& content, const std::string& type = "userdefined",
                      const std::string& snap = "none") {
  return "<primitives><primitive id=\"p\" name=\"P\" type=\"" + type + "\" visible=\"true\" snap=\"" + snap +
         "\" autoUV=\"false\">" + content + "</primitive></primitives>";
}

const std::string kTriangleVertices =
    "<vertices><vertex id=\"a\" x=\"1\" y=\"2\" z=\"3\" /><vertex id=\"b\" x=\"4\" y=\"5\" z=\"6\" />"
    "<vertex id=\"c\" x=\"7\" y=\"8\" z=\"9\" /></vertices>";

std::string Light(const std::string& type, const std::string& content = "", const std::string& range = "25") {
  return "<lights><light id=\"l\" type=\"" + type + "\" name=\"L\" range=\"" + range +
         "\" active=\"true\" intensity=\"50\">" + content + "</light></lights>";
}
}  // namespace

TEST(SceneReaderKeywords, EveryKeywordOfEveryTableIsRecognised) {
  const char* primitiveTypes[] = {"rectangle", "cube",     "pyramid",     "cylinder",         "polyline",
                                  "vertice",   "sphere",   "torus",       "plane",            "userdefined",
                                  "prefab",    "undefined", "grid",       "pointlight",       "directionalLight",
                                  "spotlight", "primitive", "light",      "ellipse",          "text"};
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(Read(Primitive("", primitiveTypes[i]))->GetPrimitive(0).PrimitiveType, i) << primitiveTypes[i];
  const char* snaps[] = {"none", "vertex", "center", "location"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Read(Primitive("", "cube", snaps[i]))->GetPrimitive(0).SnapMethod, i);
  const char* blends[] = {"ignore", "replace", "add", "modulate", "alphablend"};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(Read(Materials(Material("m", Layer("color", blends[i]))))->GetMaterial(0).GetLayer(0).Blend, i);
  const char* lightTypes[] = {"point", "directional", "spot"};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Read(Light(lightTypes[i]))->GetLight(0).LightType, i);
}

TEST(SceneReaderKeywords, UnknownKeywordsNameTheValue) {
  EXPECT_EQ(ReadError(Primitive("", "directionallight")), "Unknown primitive type \"directionallight\".");
  EXPECT_EQ(ReadError(Primitive("", "vertices")), "Unknown primitive type \"vertices\".");
  EXPECT_EQ(ReadError(Primitive("", "cube", "Vertex")), "Unknown snap method \"Vertex\".");
  EXPECT_EQ(ReadError(Materials(Material("m", Layer("Texture")))), "Unknown layer type \"Texture\".");
  EXPECT_EQ(ReadError(Materials(Material("m", Layer("color", "multiply")))), "Unknown blend operation \"multiply\".");
  EXPECT_EQ(ReadError(Light("Point")), "Unknown light type \"Point\".");
}

TEST(SceneReaderKeywords, ElementAndAttributeNamesIgnoreCase) {
  auto scene = Read("<PRIMITIVES><Primitive ID=\"p\" Name=\"P\" TYPE=\"cube\" visible=\"YES\" snap=\"none\" "
                    "AUTOUV=\"1\" /></PRIMITIVES>");
  ASSERT_EQ(scene->PrimitiveCount(), 1);
  EXPECT_TRUE(scene->GetPrimitive(0).Visible);
  EXPECT_TRUE(scene->GetPrimitive(0).AutoUV);
}

TEST(SceneReaderSettings, SettingsAndDefaults) {
  auto empty = Read("<unknown><settings name=\"x\" /></unknown>");
  EXPECT_EQ(empty->Name, "Tarnix Scene");
  EXPECT_EQ(empty->AmbientColor, 0xFFFFFFFFu);
  EXPECT_EQ(empty->ShadowOpacity, 75);
  EXPECT_EQ(empty->MaterialCount() + empty->PrimitiveCount() + empty->LightCount(), 0);

  auto scene = Read("<settings name=\"Yard\" author=\"Me\" comments=\"c\" shadowOpacity=\"60\">"
                    "<ambient r=\"255\" g=\"128\" b=\"0\" a=\"99\" /></settings>");
  EXPECT_EQ(scene->Name, "Yard");
  EXPECT_EQ(scene->Author, "Me");
  EXPECT_EQ(scene->Comments, "c");
  EXPECT_EQ(scene->ShadowOpacity, 60);
  EXPECT_EQ(scene->AmbientColor, 33023u) << "ambient has no alpha";

  EXPECT_EQ(ReadError("<settings name=\"a\" author=\"b\" comments=\"c\" shadowOpacity=\"0.5\" />"),
            "'0.5' is not a valid integer value");
  EXPECT_EQ(ReadError("<settings name=\"a\" comments=\"c\" shadowOpacity=\"1\" />"),
            "Property \"author\" not found for node \"settings\".");
}

TEST(SceneReaderColours, PackingAlphaAndOutOfRangeComponents) {
  auto layerColor = [](const std::string& color) {
    return Read(Materials(Material("m", Layer("color", "replace", color))))->GetMaterial(0).GetLayer(0).Color;
  };
  EXPECT_EQ(layerColor("<color r=\"1\" g=\"2\" b=\"3\" />"), 0xFF030201u);
  EXPECT_EQ(layerColor("<color r=\"1\" g=\"2\" b=\"3\" a=\"4\" />"), 0x04030201u);
  EXPECT_EQ(layerColor("<color r=\"256\" g=\"-1\" b=\"0\" a=\"0\" />"), 0x0000FF00u) << "each component keeps its byte";

  auto light = Read(Light("point", "<diffuse r=\"255\" g=\"128\" b=\"0\" a=\"255\" /><specular r=\"1\" g=\"1\" b=\"1\" />"));
  EXPECT_EQ(light->GetLight(0).DiffuseColor, 33023u);
  EXPECT_EQ(light->GetLight(0).SpecularColor, 0x010101u);
  EXPECT_EQ(ReadError(Light("point", "<diffuse r=\"1\" b=\"1\" />")), "Property \"g\" not found for node \"diffuse\".");
}

TEST(SceneReaderMaterials, LayersTexturesAndCategories) {
  auto scene = Read(
      "<materials><category name=\"Walls\">" +
      Material("m1", Layer("texture", "modulate", kTextureFile) + Layer("texture") + "<tag>t</tag>", "Stone") +
      "</category><category name=\"WALLS\">" + Material("m2", "") + "</category></materials>");
  ASSERT_EQ(scene->MaterialCount(), 2);
  const TMaterial& stone = scene->GetMaterial(0);
  EXPECT_EQ(stone.Id, "m1");
  EXPECT_EQ(stone.Name, "Stone");
  EXPECT_EQ(stone.Tag, "t");
  EXPECT_TRUE(stone.Used);
  EXPECT_EQ(stone.Category, "Walls");
  ASSERT_EQ(stone.LayerCount(), 2);
  EXPECT_EQ(stone.GetLayer(0).LayerType, lyTexture);
  EXPECT_EQ(stone.GetLayer(0).TextureFile, "t.jpg");
  EXPECT_EQ(stone.GetLayer(1).LayerType, lyColor) << "a texture layer without a file is a colour layer";
  EXPECT_EQ(scene->CategoryCount(), 1) << "categories match without regard to case";
  EXPECT_EQ(scene->GetCategory(0).Name, "Walls");
  EXPECT_EQ(scene->GetCategory(0).MaterialCount(), 2);
}

TEST(SceneReaderMaterials, LightmapRules) {
  auto scene = Read(Materials(Material("m", Layer("texture", "replace", kTextureFile) +
                                                 Layer("lightmap", "modulate", kTextureFile))));
  const TMaterial& material = scene->GetMaterial(0);
  EXPECT_FALSE(material.GetLayer(0).IsLightmap);
  EXPECT_TRUE(material.GetLayer(1).IsLightmap);
  EXPECT_EQ(material.GetLayer(1).LayerType, lyTexture);

  auto noFile = Read(Materials(Material("m", Layer("lightmap"))));
  EXPECT_TRUE(noFile->GetMaterial(0).GetLayer(0).IsLightmap);
  EXPECT_EQ(noFile->GetMaterial(0).GetLayer(0).LayerType, lyColor);

  EXPECT_EQ(ReadError(Materials(Material("m", Layer("lightmap") + Layer("texture"), "Brick"))),
            "Layers encountered after lightmap for material \"Brick\"");
  EXPECT_EQ(ReadError(Materials(Material("m", Layer("lightmap") + Layer("lightmap"), "Brick"))),
            "Multiple lightmaps encountered for material \"Brick\"");
}

TEST(SceneReaderGeometry, VerticesPolygonsAndUVSets) {
  const std::string materials =
      Materials(Material("two", Layer("texture", "replace", kTextureFile) + Layer("lightmap", "add", kTextureFile)));
  auto scene = Read(materials + Primitive("<tag>type collision</tag>" + kTriangleVertices +
                                          "<polygons><poly mid=\"two\">"
                                          "<vertex vid=\"A\" u0=\"0.5\" v0=\"1\" u1=\"2\" v1=\"3\" />"
                                          "<vertex vid=\"b\" u0=\"4\" v0=\"5\" u1=\"6\" v1=\"7\" />"
                                          "<vertex vid=\"c\" u0=\"8\" v0=\"9\" u1=\"10\" v1=\"11\" />"
                                          "</poly><poly mid=\"unknown\"><vertex vid=\"c\" /><vertex vid=\"b\" />"
                                          "<vertex vid=\"a\" /></poly></polygons>"));
  TPrimitive& primitive = scene->GetPrimitive(0);
  EXPECT_EQ(primitive.Tag, "type collision");
  ASSERT_EQ(primitive.VertexCount(), 3);
  ASSERT_EQ(primitive.PolygonCount(), 2);
  TPolygon& textured = primitive.GetPolygon(0);
  EXPECT_EQ(textured.Material, &scene->GetMaterial(0));
  EXPECT_EQ(textured.GetVertex(0), &primitive.GetVertex(0)) << "vertex identifiers ignore case";
  ASSERT_EQ(textured.UVSetCount(), 2);
  EXPECT_EQ(textured.EnsureUVCoordinates(0).EnsureCoordinate(0).U, 0.5f);
  EXPECT_EQ(textured.EnsureUVCoordinates(1).EnsureCoordinate(2).V, 11.0f);
  EXPECT_EQ(textured.EnsureUVCoordinates(1).Count(), 3);
  const TPolygon& bare = primitive.GetPolygon(1);
  EXPECT_EQ(bare.Material, nullptr);
  EXPECT_EQ(bare.UVSetCount(), 0) << "no UV attributes are read without a material";
  EXPECT_EQ(bare.GetVertex(0)->Id, "c");
}

TEST(SceneReaderGeometry, MissingUVsAndUnknownVerticesStopTheRead) {
  const std::string materials = Materials(Material("two", Layer("color") + Layer("color")));
  EXPECT_EQ(ReadError(materials + Primitive(kTriangleVertices + "<polygons><poly mid=\"two\">"
                                                                "<vertex vid=\"a\" u0=\"1\" v0=\"1\" u1=\"1\" />"
                                                                "</poly></polygons>")),
            "Property \"v1\" not found for node \"vertex\".");
  EXPECT_EQ(ReadError(Primitive(kTriangleVertices + "<polygons><poly mid=\"x\"><vertex vid=\"d\" /></poly></polygons>")),
            "Unknown vertex \"d\" in primitive \"P\".");
  EXPECT_EQ(ReadError(Primitive("<vertices><vertex id=\"a\" x=\"1\" y=\"two\" z=\"3\" /></vertices>")),
            "'two' is not a valid floating point value");
}

TEST(SceneReaderGeometry, MaterialsAfterPrimitivesAreNotFound) {
  auto scene = Read(Primitive(kTriangleVertices + "<polygons><poly mid=\"m\"><vertex vid=\"a\" u0=\"1\" v0=\"1\" />"
                                                  "</poly></polygons>") +
                    Materials(Material("m", Layer("color"))));
  EXPECT_EQ(scene->GetPrimitive(0).GetPolygon(0).Material, nullptr);
}

TEST(SceneReaderScale, PositionsAndRangeAreScaledNothingElse) {
  auto scene = Read(Primitive(kTriangleVertices) +
                        Light("spot",
                              "<position x=\"1\" y=\"2\" z=\"3\" /><direction x=\"0\" y=\"0\" z=\"1\" />"
                              "<attenuation constant=\"2\" linear=\"0.5\" quadratic=\"0.25\" />"
                              "<cone inner=\"10\" outer=\"20\" falloff=\"3\" />"),
                    10.0f);
  const TVertex& vertex = scene->GetPrimitive(0).GetVertex(0);
  EXPECT_EQ(vertex.X, 10.0f);
  EXPECT_EQ(vertex.Y, 20.0f);
  EXPECT_EQ(vertex.Z, 30.0f);
  const TLight& light = scene->GetLight(0);
  EXPECT_EQ(light.Range, 250);
  EXPECT_EQ(light.Position.X, 10.0f);
  EXPECT_EQ(light.Position.Z, 30.0f);
  EXPECT_EQ(light.Direction.Z, 1.0f);
  EXPECT_EQ(light.ConstantAttenuation, 2.0f);
  EXPECT_EQ(light.LinearAttenuation, 0.5f);
  EXPECT_EQ(light.QuadraticAttenuation, 0.25f);
  EXPECT_EQ(light.ConeInner, 10);
  EXPECT_EQ(light.ConeOuter, 20);
  EXPECT_EQ(light.ConeFalloff, 3);
  EXPECT_EQ(light.Intensity, 50);
  EXPECT_TRUE(light.Active);
}

TEST(SceneReaderScale, ScaledValuesAreRoundedOnceToSinglePrecision) {
  // 0.1f * 3 in full precision, then one rounding: not the float product 0.1f * 3.0f.
  auto scene = Read(Primitive("<vertices><vertex id=\"a\" x=\"0.1\" y=\"0\" z=\"0\" /></vertices>"), 3.0f);
  EXPECT_EQ(scene->GetPrimitive(0).GetVertex(0).X, static_cast<float>(static_cast<double>(0.1f) * 3.0));
}

TEST(SceneReaderScale, RangeRoundsHalvesToEven) {
  EXPECT_EQ(Read(Light("point", "", "5"), 0.5f)->GetLight(0).Range, 2);
  EXPECT_EQ(Read(Light("point", "", "7"), 0.5f)->GetLight(0).Range, 4);
  EXPECT_EQ(Read(Light("point", "", "-5"), 0.5f)->GetLight(0).Range, -2);
  TXMLSceneReader reader;
  reader.Scale = 1000.0f;
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneText("<s>" + Light("point", "", "2147483647") + "</s>"); }),
            "The range of light \"L\" is out of range.");
}

TEST(SceneReaderScale, AValidScaleIsANumberAboveZeroInSinglePrecision) {
  for (const char* scale : {"10", "0.001", " 2.5e1", "1e-40", "3.4e38"}) EXPECT_TRUE(IsValidScale(scale)) << scale;
  // 1e-50 is a number, but zero in single precision; 1e39 lies beyond it.
  for (const char* scale : {"0", "-0", "0.0e5", "-10", "-1e-3", "1e-50", "1e39", "", "ten", "1,5", "10 "})
    EXPECT_FALSE(IsValidScale(scale)) << scale;
}

TEST(SceneReaderLights, DefaultsAndCone) {
  const auto scene = Read(Light("point"));
  const TLight& light = scene->GetLight(0);
  EXPECT_EQ(light.ConstantAttenuation, 1.0f);
  EXPECT_EQ(light.QuadraticAttenuation, 3.0E-6f);
  EXPECT_EQ(ReadError(Light("point", "<cone inner=\"1\" outer=\"2\" falloff=\"3\" />")),
            "Cone properties only supported for spotlights.");
}

TEST(SceneReaderStructure, UnknownElementsAreIgnoredEverywhere) {
  auto scene = Read("<extra><primitives /></extra>" + Materials("<unknown />" + Material("m", "<x />" + Layer("color", "add", "<y />"))) +
                    Primitive("<z />" + kTriangleVertices + "<polygons><odd /></polygons>") + Light("point", "<w />") +
                    "<lights><lamp /></lights>");
  EXPECT_EQ(scene->MaterialCount(), 1);
  EXPECT_EQ(scene->PrimitiveCount(), 1);
  EXPECT_EQ(scene->GetPrimitive(0).PolygonCount(), 0);
  EXPECT_EQ(scene->LightCount(), 1);
}

TEST(SceneReaderStructure, RepliesAreTrimmedAndMustHoldARoot) {
  TXMLSceneReader reader;
  EXPECT_EQ(reader.ReadSceneText(std::string("\r\n  <scene />\r\n\0\0", 16))->Name, "Tarnix Scene");
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneText(std::string("\0\0 \r\n", 5)); }),
            "Could not read rootnode from xml: no data available.");
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneText("<!-- nothing -->"); }),
            "Could not read rootnode from xml: no data available.");
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneText("<scene><primitives></scene>"); }),
            "Opening tag \"primitives\" doesn't mach closing tag \"scene\" (1,28)");
}

TEST(SceneReaderStructure, TellsTheRootsNameAndWhetherItHeldASceneSection) {
  TXMLSceneReader reader;
  const auto read = [&](const std::string& document) {
    reader.ReadSceneText(document);
    return std::pair(reader.RootName(), reader.HeldSceneSections());
  };
  // Any root name is read, lower-cased; each section alone is a scene's.
  EXPECT_EQ(read("<Reply><lights /></Reply>"), std::pair(std::string("reply"), true));
  EXPECT_EQ(read("<scene><MATERIALS /></scene>"), std::pair(std::string("scene"), true));
  EXPECT_EQ(read("<x><primitives /></x>"), std::pair(std::string("x"), true));
  EXPECT_EQ(read("<x><settings name=\"\" author=\"\" comments=\"\" shadowOpacity=\"1\" /></x>"),
            std::pair(std::string("x"), true));
  // Sections deeper down, or none at all, are no scene's; each read tells its own.
  EXPECT_EQ(read("<foo><bar><lights /><primitives /></bar></foo>"), std::pair(std::string("foo"), false));
  EXPECT_EQ(read("<foo></foo>"), std::pair(std::string("foo"), false));
  EXPECT_EQ(read("<scene />"), std::pair(std::string("scene"), false));
}

TEST(SceneReaderStructure, AMappedDocumentReadsLikeTheEditorsReply) {
  const std::string document =
      "\r\n <scene><materials><category name=\"c\"><material id=\"m\" name=\"M\" used=\"1\">"
      "<layer type=\"texture\" blend=\"replace\"><texture file=\"a.png\" /></layer></material></category>"
      "</materials><primitives><primitive id=\"p\" name=\"P\" type=\"userdefined\" visible=\"1\" snap=\"none\" "
      "autouv=\"0\"><vertices><vertex id=\"a\" x=\"1\" y=\"2\" z=\"3\" /><vertex id=\"b\" x=\"4\" y=\"5\" "
      "z=\"6\" /><vertex id=\"c\" x=\"7\" y=\"8\" z=\"0\" /></vertices><polygons><poly mid=\"m\"><vertex "
      "vid=\"a\" u0=\"0\" v0=\"1\" /><vertex vid=\"b\" u0=\"1\" v0=\"1\" /><vertex vid=\"c\" u0=\"1\" "
      "v0=\"0\" /></poly></polygons></primitive></primitives></scene>\r\n";
  TXMLSceneReader reader;
  reader.Scale = 2;
  const auto fromReply = reader.ReadSceneText(document);
  const auto mapped = reader.ReadSceneMapped(document);
  ASSERT_EQ(mapped->PrimitiveCount(), 1);
  ASSERT_EQ(mapped->MaterialCount(), 1);
  EXPECT_EQ(mapped->GetMaterial(0).GetLayer(0).TextureFile, "a.png");
  const TPolygon& polygon = mapped->GetPrimitive(0).GetPolygon(0);
  const TPolygon& expected = fromReply->GetPrimitive(0).GetPolygon(0);
  ASSERT_EQ(polygon.VertexCount(), 3);
  EXPECT_EQ(polygon.Material, &mapped->GetMaterial(0));
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(polygon.GetVertex(k)->Y, expected.GetVertex(k)->Y);
    EXPECT_EQ(polygon.GetVertex(k)->Y, static_cast<float>(2 * (2 + 3 * k)));
  }
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneMapped("  \r\n"); }), "Could not read rootnode from xml: no data available.");
}

TEST(SceneReaderStructure, AByteOrderMarkBeforeTheDocumentIsSkippedOnEveryPath) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string document = "<scene><settings name=\"Marked\" author=\"\" comments=\"\" shadowOpacity=\"1\" /></scene>";
  TXMLSceneReader reader;
  EXPECT_EQ(reader.ReadSceneText(bom + document)->Name, "Marked");
  EXPECT_EQ(reader.ReadSceneText(bom + "\r\n" + document + "\r\n")->Name, "Marked");
  EXPECT_EQ(reader.ReadSceneMapped(bom + document)->Name, "Marked");
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneText(bom); }), "Could not read rootnode from xml: no data available.");
  // Only a mark at the start is one.
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneText(bom + bom + document); }),
            "Unexpected text encountered outside root node.");
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneMapped(document + bom); }),
            "Unexpected text encountered outside root node.");
}

TEST(SceneReaderProgress, FollowsTheDocumentUpToItsEnd) {
  std::string lights;
  for (int i = 0; i < 20; ++i) lights += "<light id=\"l\" type=\"point\" name=\"L\" range=\"1\" active=\"1\" intensity=\"1\" />";
  TXMLSceneReader reader;
  std::vector<int> reports;
  reader.OnProgress = [&](int percent) { reports.push_back(percent); };
  reader.ReadSceneText("<scene><lights>" + lights + "</lights></scene>");
  // One report every 32 tokens, 14 tokens to a light.
  ASSERT_EQ(reports.size(), 8u);
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  EXPECT_GT(reports.front(), 0);
  EXPECT_GE(reports.back(), 90);
  EXPECT_LE(reports.back(), 100);
}

TEST(SceneReaderErrors, ASyntaxErrorWinsOverAnEarlierSceneError) {
  const std::string badPrimitive =
      "<primitives><primitive id=\"p\" name=\"P\" type=\"blob\" visible=\"1\" snap=\"none\" autouv=\"0\" />"
      "</primitives>";
  TXMLSceneReader reader;
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneText("<scene>" + badPrimitive + "</scene>"); }),
            "Unknown primitive type \"blob\".");
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneText("<scene>" + badPrimitive + "<lights></light></scene>"); }),
            "Opening tag \"lights\" doesn't mach closing tag \"light\" (1,125)");
  EXPECT_EQ(ErrorOf([&] { reader.ReadSceneText("<scene>" + badPrimitive + "</scene><scene />"); }),
            "Only 1 root node supported.");
  // The first of two scene errors is the one reported.
  EXPECT_EQ(ErrorOf([&] {
              reader.ReadSceneText("<scene>" + badPrimitive +
                                   "<lights><light id=\"l\" type=\"neon\" name=\"L\" range=\"1\" active=\"1\" "
                                   "intensity=\"1\" /></lights></scene>");
            }),
            "Unknown primitive type \"blob\".");
}

