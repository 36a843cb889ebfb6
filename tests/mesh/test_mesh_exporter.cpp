#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/ErrorOf.h"
#include "../support/TempDir.h"
#include "mesh/QZOgreMaterialWriter.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "platform/uFileSystem.h"
#include "scene/uXMLSceneReader.h"

namespace {
// A scene document from its materials and primitives, as the editor writes it.
std::unique_ptr<TScene> Scene(const std::string& materials, const std::string& primitives, bool normals = true) {
  auto scene = TXMLSceneReader().ReadSceneText("<scene><materials><category name=\"C\">" + materials +
                                               "</category></materials><primitives>" + primitives +
                                               "</primitives></scene>");
  if (normals) scene->CalculateNormals(66);
  return scene;
}

std::string Material(const std::string& id, const std::string& name, const std::string& layers) {
  return "<material id=\"" + id + "\" name=\"" + name + "\" used=\"true\">" + layers + "</material>";
}

std::string Texture(const std::string& file, const std::string& blend = "replace", const std::string& type = "texture") {
  return "<layer type=\"" + type + "\" blend=\"" + blend + "\"><texture file=\"" + file + "\" /></layer>";
}

std::string Colour(int r, int g, int b, int a, const std::string& blend = "replace") {
  return "<layer type=\"color\" blend=\"" + blend + "\"><color r=\"" + std::to_string(r) + "\" g=\"" +
         std::to_string(g) + "\" b=\"" + std::to_string(b) + "\" a=\"" + std::to_string(a) + "\" /></layer>";
}

// A primitive of a unit-square grid: vertex i at (x, y, 0) = (i % 3, i / 3), polygons given as
// (material id, vertex numbers); every corner gets u = x, v = y for each of `layers` layers.
struct TPoly {
  std::string Mid;
  std::vector<int> Corners;
};

std::string Primitive(const std::string& name, const std::vector<TPoly>& polys, int layers = 1) {
  std::string text = "<primitive id=\"" + name + "\" name=\"" + name +
                     "\" type=\"userdefined\" visible=\"true\" snap=\"none\" autoUV=\"false\"><vertices>";
  for (int i = 0; i < 9; ++i)
    text += "<vertex id=\"v" + std::to_string(i) + "\" x=\"" + std::to_string(i % 3) + "\" y=\"" +
            std::to_string(i / 3) + "\" z=\"0\" />";
  text += "</vertices><polygons>";
  for (const TPoly& poly : polys) {
    text += "<poly mid=\"" + poly.Mid + "\">";
    for (int corner : poly.Corners) {
      text += "<vertex vid=\"v" + std::to_string(corner) + "\"";
      for (int l = 0; l < layers; ++l)
        text += " u" + std::to_string(l) + "=\"" + std::to_string(corner % 3) + "\" v" + std::to_string(l) + "=\"" +
                std::to_string(corner / 3) + "\"";
      text += " />";
    }
    text += "</poly>";
  }
  return text + "</polygons></primitive>";
}

std::vector<std::array<int32_t, 3>> Faces(const QZOgreSubMeshT& subMesh) {
  std::vector<std::array<int32_t, 3>> faces;
  for (const QZOgreFaceInfoT& face : subMesh.Faces) faces.push_back(face.Indices);
  return faces;
}

std::string Script(const QZOgreMeshExporterT& exporter, bool exportLightmaps = true) {
  std::string script;
  for (const auto& material : exporter.GetMaterials()) WriteMaterial(*material, exportLightmaps, script);
  return script;
}
}  // namespace

TEST(MeshExporterGeometry, FanTriangulationReversesTheCornerOrder) {
  auto scene = Scene(Material("m", "M", Texture("t.jpg")),
                     Primitive("P", {{"m", {0, 1, 4, 3}}, {"m", {1, 2, 5, 8, 7, 4}}}));
  QZOgreMeshExporterT exporter(*scene, {});
  exporter.Build();
  ASSERT_EQ(exporter.GetSubMeshes().size(), 1u);
  const QZOgreSubMeshT& mesh = *exporter.GetSubMeshes()[0];
  // Vertices in first-use order: v0 v1 v4 v3 v2 v5 v8 v7 -> 0 1 2 3 4 5 6 7.
  EXPECT_EQ(Faces(mesh), (std::vector<std::array<int32_t, 3>>{{2, 1, 0}, {3, 2, 0}, {5, 4, 1}, {6, 5, 1}, {7, 6, 1}, {2, 7, 1}}));
  EXPECT_EQ(mesh.VertexCount(), 8) << "corners shared by both polygons are welded";
  EXPECT_EQ(mesh.Material, exporter.GetMaterials()[0].get());
  EXPECT_EQ(mesh.GetVertex(2).X, 1.0f);
  EXPECT_EQ(mesh.GetVertex(2).Y, 1.0f);
  EXPECT_EQ(mesh.GetVertex(2).Normal.Z, -1.0f) << "the smoothed normal, whether or not normals are written";
  ASSERT_EQ(mesh.GetVertex(2).TextureCoordinateCount(), 1);
  EXPECT_EQ(mesh.GetVertex(2).GetTextureCoordinates(0).U, 1.0f);
}

TEST(MeshExporterGeometry, APolygonWithANotchIsCutIntoEarsFacingItsWay) {
  // The dart v0 (0,0), v7 (1,2), v2 (2,0), v4 (1,1): the notch at v4. The fan
  // would give (2,1,0), covering the notch, and (3,2,0), facing backwards.
  auto scene = Scene(Material("m", "M", Texture("t.jpg")), Primitive("P", {{"m", {0, 7, 2, 4}}}));
  QZOgreMeshExporterT exporter(*scene, {});
  exporter.Build();
  ASSERT_EQ(exporter.GetSubMeshes().size(), 1u);
  const QZOgreSubMeshT& mesh = *exporter.GetSubMeshes()[0];
  EXPECT_EQ(Faces(mesh), (std::vector<std::array<int32_t, 3>>{{1, 0, 3}, {3, 2, 1}}));
  // Both face as the polygon's normal says: counter-clockwise seen from its side.
  for (const QZOgreFaceInfoT& face : mesh.Faces) {
    const QZOgreVertexT &a = mesh.GetVertex(face.Indices[0]), &b = mesh.GetVertex(face.Indices[1]),
                        &c = mesh.GetVertex(face.Indices[2]);
    const float z = (b.X - a.X) * (c.Y - a.Y) - (b.Y - a.Y) * (c.X - a.X);
    EXPECT_GT(z * a.Normal.Z, 0.0f);
  }
}

TEST(MeshExporterGeometry, WeldingStaysInsideOnePrimitive) {
  auto scene = Scene(Material("m", "M", Texture("t.jpg")),
                     Primitive("A", {{"m", {0, 1, 4}}}) + Primitive("B", {{"m", {0, 1, 4}}}));
  QZOgreMeshExporterT exporter(*scene, {});
  exporter.Build();
  ASSERT_EQ(exporter.GetSubMeshes().size(), 2u) << "two primitives with one material give two sub-meshes";
  EXPECT_EQ(exporter.GetSubMeshes()[0]->VertexCount(), 3);
  EXPECT_EQ(exporter.GetSubMeshes()[1]->VertexCount(), 3);
}

TEST(MeshExporterGeometry, OneSubMeshPerMaterialWithBorderVerticesInBoth) {
  auto scene = Scene(Material("a", "A", Texture("a.jpg")) + Material("b", "B", Texture("b.jpg")),
                     Primitive("P", {{"b", {1, 2, 5, 4}}, {"a", {0, 1, 4, 3}}, {"b", {4, 5, 8, 7}}}));
  QZOgreMeshExporterT exporter(*scene, {});
  exporter.Build();
  ASSERT_EQ(exporter.GetSubMeshes().size(), 2u);
  const QZOgreSubMeshT& a = *exporter.GetSubMeshes()[0];
  const QZOgreSubMeshT& b = *exporter.GetSubMeshes()[1];
  EXPECT_EQ(a.Material->Name, "A") << "sub-meshes follow the order of the materials";
  EXPECT_EQ(b.Material->Name, "B");
  EXPECT_EQ(a.VertexCount(), 4);
  EXPECT_EQ(b.VertexCount(), 6);
  EXPECT_EQ(a.FaceCount(), 2);
  EXPECT_EQ(b.FaceCount(), 4);
  // Welded order v1 v2 v5 v4 v0 v3 v8 v7; material A uses v1 v4 v0 v3, kept in that order.
  EXPECT_EQ(Faces(a), (std::vector<std::array<int32_t, 3>>{{1, 0, 2}, {3, 1, 2}}));
  EXPECT_EQ(a.GetVertex(0).X, 1.0f);
  EXPECT_EQ(a.GetVertex(1).Y, 1.0f);
  EXPECT_EQ(Faces(b), (std::vector<std::array<int32_t, 3>>{{2, 1, 0}, {3, 2, 0}, {4, 2, 3}, {5, 4, 3}}))
      << "faces keep their order inside a run";
  for (const QZOgreFaceInfoT& face : b.Faces) EXPECT_EQ(face.Material, nullptr);
}

TEST(MeshExporterGeometry, DegenerateAndEmptyPrimitivesGiveNothing) {
  auto scene = Scene(Material("a", "A", Texture("a.jpg")) + Material("b", "B", Texture("b.jpg")),
                     Primitive("Empty", {}) + Primitive("Lines", {{"b", {0, 1}}, {"b", {2}}}) +
                         Primitive("Real", {{"a", {0, 1, 2}}}));
  QZOgreMeshExporterT exporter(*scene, {});
  exporter.Build();
  ASSERT_EQ(exporter.GetSubMeshes().size(), 1u);
  ASSERT_EQ(exporter.GetMaterials().size(), 1u) << "a material of two-corner polygons only is unused";
  EXPECT_EQ(exporter.GetMaterials()[0]->Name, "A");
  ASSERT_EQ(exporter.GetTextures().size(), 1u);
  EXPECT_EQ(exporter.GetTextures()[0]->FileName, "a.jpg");
}

TEST(MeshExporterGeometry, FilteredPrimitivesTakeTheirMaterialsAlong) {
  auto scene = Scene(Material("a", "A", Texture("a.jpg")) + Material("b", "B", Texture("b.jpg")),
                     Primitive("keep", {{"a", {0, 1, 2}}}) + Primitive("vdcv_drop", {{"b", {0, 1, 2}}}));
  TMeshExportOptions options;
  options.FilterPrimitive = [](const TPrimitive& primitive) { return primitive.Name == "keep"; };
  QZOgreMeshExporterT exporter(*scene, options);
  exporter.Build();
  EXPECT_EQ(exporter.GetSubMeshes().size(), 1u);
  ASSERT_EQ(exporter.GetMaterials().size(), 1u);
  ASSERT_EQ(exporter.GetTextures().size(), 1u);
  EXPECT_EQ(exporter.GetTextures()[0]->FileName, "a.jpg");
}

TEST(MeshExporterGeometry, MissingUVsBecomeZeros) {
  auto scene = Scene(Material("m", "M", Texture("a.jpg")), Primitive("P", {{"m", {0, 4, 8}}}, 1));
  // A second layer that the polygon has no coordinates for.
  auto layer = std::make_unique<TMaterialLayer>();
  layer->TextureFile = "b.jpg";
  scene->GetMaterial(0).AddLayer(std::move(layer));
  QZOgreMeshExporterT exporter(*scene, {});
  exporter.Build();
  const QZOgreVertexT& vertex = exporter.GetSubMeshes()[0]->GetVertex(1);
  ASSERT_EQ(vertex.TextureCoordinateCount(), 2);
  EXPECT_EQ(vertex.GetTextureCoordinates(0).U, 1.0f);
  EXPECT_EQ(vertex.GetTextureCoordinates(1).U, 0.0f);
  EXPECT_EQ(vertex.GetTextureCoordinates(1).V, 0.0f);
  EXPECT_EQ(scene->GetPrimitive(0).GetPolygon(0).UVSetCount(), 1) << "the export only reads the scene";
  EXPECT_EQ(scene->GetPrimitive(0).GetPolygon(0).EnsureUVCoordinates(0).Count(), 3);
}

TEST(MeshExporterFailures, PolygonsNeedMaterialsAndNormals) {
  auto noMaterial = Scene(Material("m", "M", Texture("t.jpg")), Primitive("Wall", {{"m", {0, 1, 2}}, {"none", {0, 1, 2}}}));
  QZOgreMeshExporterT exporter(*noMaterial, {});
  EXPECT_EQ(ErrorOf([&] { exporter.Build(); }), "Primitive \"Wall\" has a polygon without material.");

  auto noNormals = Scene(Material("m", "M", Texture("t.jpg")), Primitive("P", {{"m", {0, 1, 2}}}), false);
  QZOgreMeshExporterT second(*noNormals, {});
  EXPECT_EQ(ErrorOf([&] { second.Build(); }), "Normals have not been calculated yet.");
}

TEST(MeshExporterMaterials, TextureEntriesNamesAndBlends) {
  auto scene = Scene(Material("a", "Stone", Texture("t.jpg") + Texture("T.jpg", "replace") + Colour(255, 0, 0, 255, "add")) +
                         Material("b", "Brick", Texture("t.jpg", "add") + Texture("lm.png", "modulate", "lightmap")) +
                         Material("c", "Glass", Texture("lm.png", "alphablend") + Texture("x.png", "modulate", "lightmap")),
                     Primitive("P", {{"a", {0, 1, 2}}, {"b", {3, 4, 5}}, {"c", {6, 7, 8}}}, 3));
  TMeshExportOptions options;
  options.NamePrefix = "A_";
  QZOgreMeshExporterT exporter(*scene, options);
  exporter.Build();
  ASSERT_EQ(exporter.GetMaterials().size(), 3u);
  EXPECT_EQ(exporter.GetMaterials()[0]->Name, "A_Stone");
  EXPECT_EQ(exporter.GetMaterials()[1]->Name, "A_LightMapped0");
  EXPECT_EQ(exporter.GetMaterials()[2]->Name, "A_LightMapped1");
  EXPECT_EQ(exporter.GetLightmapCount(), 2);
  ASSERT_EQ(exporter.GetTextures().size(), 5u) << "t.jpg is shared; T.jpg differs in case";
  EXPECT_EQ(exporter.GetTextures()[2]->FileName, "colorFF0000FF.bmp");
  EXPECT_TRUE(exporter.GetTextures()[2]->IsColor);
  EXPECT_EQ(exporter.GetTextures()[2]->Color, 0xFF0000FFu);
  EXPECT_TRUE(exporter.GetTextures()[3]->IsLightmap) << "lm.png is a lightmap once and an ordinary texture once";
  EXPECT_EQ(exporter.GetMaterials()[2]->TextureUnits[0].Texture, exporter.GetTextures()[3].get());

  const auto blends = [&](int m) {
    std::vector<std::string> texts;
    for (const QZOgreTextureUnitT& unit : exporter.GetMaterials()[static_cast<std::size_t>(m)]->TextureUnits) texts.push_back(unit.Blend);
    return texts;
  };
  EXPECT_EQ(blends(0), (std::vector<std::string>{"modulate", "replace", "add"}));
  EXPECT_EQ(blends(1), (std::vector<std::string>{"add", "modulate"}));
  EXPECT_EQ(blends(2), (std::vector<std::string>{"alpha_blend", "modulate"}));
}

TEST(MaterialScript, TheWorkedExampleByteForByte) {
  auto scene = Scene(Material("m", "Stone", Texture("stone wall.jpg") + Texture("lm.png", "modulate", "lightmap")),
                     Primitive("P", {{"m", {0, 1, 2}}}, 2));
  TMeshExportOptions options;
  options.NamePrefix = "A_";
  QZOgreMeshExporterT exporter(*scene, options);
  exporter.Build();
  EXPECT_EQ(Script(exporter),
            "material A_LightMapped0\r\n"
            "{\r\n"
            "    technique\r\n"
            "    {\r\n"
            "        pass\r\n"
            "        {\r\n"
            "            texture_unit\r\n"
            "            {\r\n"
            "                texture stone_wall.jpg\r\n"
            "                filtering trilinear\r\n"
            "            }\r\n"
            "            texture_unit\r\n"
            "            {\r\n"
            "                texture lm.png\r\n"
            "                colour_op modulate\r\n"
            "                tex_coord_set 1\r\n"
            "                tex_address_mode clamp\r\n"
            "                filtering linear linear none\r\n"
            "            }\r\n"
            "        }\r\n"
            "    }\r\n"
            "}\r\n");
  const std::string withoutLightmap = Script(exporter, false);
  EXPECT_EQ(withoutLightmap.find("lm.png"), std::string::npos);
  EXPECT_NE(withoutLightmap.find("stone_wall.jpg"), std::string::npos);
}

TEST(MaterialScript, ColoursBlendsAndEmptyMaterials) {
  QZOgreTextureT opaque("colorFF0000FF.bmp"), translucent("color8000FF00.bmp"), file("a.png");
  opaque.IsColor = translucent.IsColor = true;
  opaque.Color = 0xFF0000FF;
  translucent.Color = 0x8000FF00;

  QZOgreMaterialT empty;
  empty.Name = "E";
  std::string script;
  WriteMaterial(empty, true, script);
  EXPECT_EQ(script, "material E\r\n{\r\n    technique\r\n    {\r\n        pass\r\n        {\r\n        }\r\n    }\r\n}\r\n");

  QZOgreMaterialT colours;
  colours.Name = "C";
  colours.AddTextureUnit(&opaque, "add", 0);
  colours.AddTextureUnit(&translucent, "", 1);
  colours.AddTextureUnit(&file, "replace", 2);
  script.clear();
  WriteMaterial(colours, true, script);
  EXPECT_NE(script.find("        {\r\n            scene_blend add\r\n            depth_write off\r\n            texture_unit\r\n"),
            std::string::npos);
  EXPECT_NE(script.find("                colour_op_ex source1 src_manual src_current 1 0 0\r\n"
                        "                filtering trilinear\r\n"),
            std::string::npos)
      << "alpha 255: no alpha_op_ex; the first unit gets no colour_op";
  EXPECT_NE(script.find("                colour_op_ex source1 src_manual src_current 0 1 0\r\n"
                        "                alpha_op_ex source1 src_manual src_current 0.5019608\r\n"
                        "                tex_coord_set 1\r\n"),
            std::string::npos)
      << "an empty blend text gives no colour_op";
  EXPECT_NE(script.find("                texture a.png\r\n                colour_op replace\r\n                tex_coord_set 2\r\n"),
            std::string::npos);

  for (const char* blend : {"modulate", "", "replace", "alpha_blend"}) {
    QZOgreMaterialT first;
    first.Name = "F";
    first.AddTextureUnit(&file, blend, 0);
    script.clear();
    WriteMaterial(first, true, script);
    EXPECT_EQ(script.find("scene_blend") != std::string::npos, std::string(blend) == "alpha_blend") << blend;
  }
}

TEST(MaterialScript, NamesAreQuotedOnlyForLaterOgreAndOnlyWhereItsLexerWouldSplitThem) {
  const auto quoted = [](const std::string& name) { return ScriptMaterialName(name, TMaterialNameForm::Quoted); };
  // The platform's reader takes the rest of the line, whatever it holds.
  EXPECT_EQ(ScriptMaterialName("Wood Dark", TMaterialNameForm::Platform), "Wood Dark");
  EXPECT_EQ(ScriptMaterialName("a\"b c", TMaterialNameForm::Platform), "a\"b c");
  for (const char* plain : {"Wood", "Crate_Metal", "A/B", "A//B", "A$B", "A\\B", "Ünïcode"})
    EXPECT_EQ(quoted(plain), plain);
  for (const char* split : {"Wood Dark", "Tab\there", "A:B", "A{B", "A}B", "$A", "//A", "/*A", " lead", "A\\B C"})
    EXPECT_EQ(quoted(split), '"' + std::string(split) + '"');
  for (const char* lost : {"say \"hi\"", "ends in\\", "two\\\\ back", "\"Quoted\""})
    EXPECT_EQ(ErrorOf([&] { quoted(lost); }),
              "Material \"" + std::string(lost) + "\" cannot be named in a script for OGRE 1.7 or later.");
}

TEST(MaterialScript, TheQuotedFormChangesOnlyTheMaterialLine) {
  auto scene = Scene(Material("m", "Wood Dark", Texture("t.jpg")) + Material("n", "Plain", Texture("u.jpg")),
                     Primitive("P", {{"m", {0, 1, 2}}, {"n", {0, 2, 3}}}, 4));
  TMeshExportOptions options;
  options.NamePrefix = "A_";
  QZOgreMeshExporterT exporter(*scene, options);
  exporter.Build();
  const std::string platform = Script(exporter);
  std::string quoted;
  for (const auto& material : exporter.GetMaterials()) WriteMaterial(*material, true, quoted, TMaterialNameForm::Quoted);
  std::string expected = platform;
  expected.replace(expected.find("material A_Wood Dark\r\n"), std::strlen("material A_Wood Dark"),
                   "material \"A_Wood Dark\"");
  EXPECT_EQ(quoted, expected);
  EXPECT_NE(quoted.find("material A_Plain\r\n"), std::string::npos);
  EXPECT_EQ(exporter.GetMaterials()[0]->Name, "A_Wood Dark") << "the mesh keeps the bare name";
}

TEST(MaterialScript, ANameTheQuotedFormCannotHoldStopsTheExportBeforeAnyFile) {
  TTempDir dir;
  auto scene = Scene(Material("m", "Say &quot;cheese&quot;", Texture("t.jpg")), Primitive("P", {{"m", {0, 1, 2}}}, 3));
  TMeshExportOptions options;
  options.Target.MaterialNameForm = TMaterialNameForm::Quoted;
  QZOgreMeshExporterT exporter(*scene, options);
  EXPECT_EQ(ErrorOf([&] { exporter.Export(dir.File("q.mesh")); }),
            "Material \"Say \"cheese\"\" cannot be named in a script for OGRE 1.7 or later.");
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  // The platform's form writes it as it is.
  TMeshExportOptions platformOptions;
  platformOptions.CopyTextures = false;
  QZOgreMeshExporterT platform(*scene, platformOptions);
  platform.Export(dir.File("p.mesh"));
  EXPECT_NE(TTempDir::Read(dir.File("p.material")).find("material Say \"cheese\"\r\n"), std::string::npos);
}

TEST(MaterialScript, FileHoldsBlocksSeparatedByOneEmptyLine) {
  TTempDir dir;
  std::vector<std::unique_ptr<QZOgreMaterialT>> materials;
  for (const char* name : {"One", "Two"}) {
    materials.push_back(std::make_unique<QZOgreMaterialT>());
    materials.back()->Name = name;
  }
  WriteMaterialScript(dir.File("a.material"), materials, true);
  const std::string text = TTempDir::Read(dir.File("a.material"));
  EXPECT_NE(text.find("}\r\n\r\nmaterial Two\r\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 3), "}\r\n");
  EXPECT_EQ(text.find("\r\n\r\n\r\n"), std::string::npos);

  WriteMaterialScript(dir.File("none.material"), {}, true);
  EXPECT_EQ(TTempDir::Read(dir.File("none.material")), "");
}

TEST(MeshExporterFiles, ExportWritesMeshScriptAndTextures) {
  TTempDir dir;
  const std::string sources = dir.File("editor") + "/";
  std::filesystem::create_directories(sources + "walls");
  TTempDir::Write(sources + "walls/stone wall.jpg", "JPEG");
  TTempDir::Write(sources + "lm.png", "PNG");
  auto scene = Scene(Material("m", "Stone", Texture("walls\\stone wall.jpg") + Texture("lm.png", "modulate", "lightmap")) +
                         Material("c", "Paint", Colour(1, 2, 3, 4)) + Material("g", "Gone", Texture("missing.jpg")),
                     Primitive("P", {{"m", {0, 1, 2}}, {"c", {3, 4, 5}}, {"g", {6, 7, 8}}}, 2));
  TMeshExportOptions options;
  options.MaterialDirectory = "../Materials";
  options.TextureDirectory = "../Textures";
  options.TextureSource = [&] { return sources; };
  std::vector<std::string> warnings;
  QZOgreMeshExporterT exporter(*scene, options, [&](const std::string& warning) { warnings.push_back(warning); });
  const std::string meshDirectory = dir.File("repo/Meshes");
  std::filesystem::create_directories(meshDirectory);
  const auto before = std::filesystem::current_path();
  exporter.Export(meshDirectory + "/A.mesh");
  EXPECT_EQ(std::filesystem::current_path(), before);

  EXPECT_TRUE(std::filesystem::exists(meshDirectory + "/A.mesh"));
  EXPECT_TRUE(std::filesystem::exists(dir.File("repo/Materials/A.material")));
  EXPECT_EQ(TTempDir::Read(dir.File("repo/Textures/stone_wall.jpg")), "JPEG");
  EXPECT_EQ(TTempDir::Read(dir.File("repo/Textures/lm.png")), "PNG");
  EXPECT_EQ(exporter.GetCopiedTextures(),
            (std::vector<std::string>{"stone_wall.jpg", "lm.png", "color04030201.bmp", "missing.jpg"}));
  EXPECT_EQ(exporter.GetPlacedTextures(), (std::vector<std::string>{"stone_wall.jpg", "lm.png"}));
  EXPECT_EQ(warnings, (std::vector<std::string>{"Texture file \"" + sources + "missing.jpg\" not found."}));

  // A second export shares the built model and writes the XML form for any letter case of ".xml".
  QZOgreSubMeshT* first = exporter.GetSubMeshes()[0].get();
  exporter.Export(meshDirectory + "/A.Mesh.XML");
  EXPECT_EQ(exporter.GetSubMeshes()[0].get(), first);
  EXPECT_EQ(TTempDir::Read(meshDirectory + "/A.Mesh.XML").substr(0, 5), "<?xml");
  // Its script has the name of the binary form's: the mesh's name less ".mesh.xml".
  EXPECT_TRUE(std::filesystem::exists(dir.File("repo/Materials/A.material")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("repo/Materials/A.Mesh.material")));
}

TEST(MeshExporterFiles, WithoutATextureSourceAFileNameIsItsPathAndTheEditorIsNotAsked) {
  TTempDir dir;
  auto scene = Scene(Material("m", "Stone", Texture("nowhere-to-be-found.jpg")), Primitive("P", {{"m", {0, 1, 2}}}));
  std::vector<std::string> warnings;
  QZOgreMeshExporterT exporter(*scene, {}, [&](const std::string& warning) { warnings.push_back(warning); });
  // No editor answers in this process: asking it would fail the export.
  exporter.Export(dir.File("A.mesh"));
  EXPECT_EQ(warnings, (std::vector<std::string>{"Texture file \"nowhere-to-be-found.jpg\" not found."}));
  EXPECT_TRUE(std::filesystem::exists(dir.File("A.material")));
}

TEST(MeshExporterFiles, DirectoriesAreResolvedAndCreated) {
  TTempDir dir;
  auto scene = Scene("", "");
  TMeshExportOptions options;
  options.MaterialDirectory = "../deep/er/./Materials";
  QZOgreMeshExporterT exporter(*scene, options);
  const std::string mesh = dir.File("R/Meshes/A.mesh");
  // Resolved directories use the platform's own delimiter throughout.
  const auto native = [](std::string path) {
    std::replace(path.begin(), path.end(), '/', PathDelimiter);
    return path;
  };
  const std::string path = exporter.MaterialFolder(mesh);
  EXPECT_EQ(path, native(dir.File("R/deep/er/Materials/")));
  EXPECT_FALSE(std::filesystem::exists(path)) << "asking for the folder does not make it";
  EXPECT_EQ(exporter.TextureFolder(mesh), native(dir.File("R/Meshes/")));
  options.TextureDirectory = dir.File("elsewhere");
  EXPECT_EQ(QZOgreMeshExporterT(*scene, options).TextureFolder(mesh), native(dir.File("elsewhere/")));
  std::filesystem::create_directories(dir.File("R/Meshes"));
  QZOgreMeshExporterT(*scene, options).Export(mesh);
  EXPECT_TRUE(std::filesystem::is_directory(path)) << "the export makes it";
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.File("R/deep/er/Materials/A.material")));
}

TEST(MeshExporterFiles, TextureTargetNames) {
  EXPECT_EQ(TextureTargetName("walls\\stone wall.jpg"), "stone_wall.jpg");
  EXPECT_EQ(TextureTargetName("a/b/c d e.png"), "c_d_e.png");
  EXPECT_EQ(TextureTargetName("C:stone.jpg"), "stone.jpg");
  EXPECT_EQ(TextureTargetName("plain.bmp"), "plain.bmp");
}

TEST(MeshExporterBounds, BoxAndRadiusAroundTheOrigin) {
  auto empty = Scene("", "");
  QZOgreMeshExporterT none(*empty, {});
  none.Build();
  const TMeshBounds zero = none.CalculateBounds();
  EXPECT_EQ(zero.MinX, 0.0f);
  EXPECT_EQ(zero.MaxZ, 0.0f);
  EXPECT_EQ(zero.Radius, 0.0f);

  auto scene = Scene(Material("m", "M", Texture("t.jpg")), Primitive("P", {{"m", {0, 2, 8}}}));
  QZOgreMeshExporterT exporter(*scene, {});
  exporter.Build();
  const TMeshBounds bounds = exporter.CalculateBounds();
  EXPECT_EQ(bounds.MinX, 0.0f);
  EXPECT_EQ(bounds.MinY, 0.0f);
  EXPECT_EQ(bounds.MaxX, 2.0f);
  EXPECT_EQ(bounds.MaxY, 2.0f);
  EXPECT_EQ(bounds.MinZ, 0.0f);
  // The farthest vertex from the origin, (2, 2, 0), is sqrt(8) away; the
  // radius is the smallest float that reaches it.
  const double radius = bounds.Radius, below = std::nextafter(bounds.Radius, 0.0f);
  EXPECT_GE(radius * radius, 8.0);
  EXPECT_LT(below * below, 8.0);
}

TEST(MeshExporterProgress, EachStepReportsItsStatusThenItsElements) {
  TTempDir dir;
  TTempDir::Write(dir.File("a.jpg"), "A");
  auto scene = Scene(Material("a", "A", Texture("a.jpg")) + Material("b", "B", Colour(1, 2, 3, 255)) +
                         Material("c", "C", Texture("a.jpg")),
                     Primitive("P", {{"a", {0, 1, 2}}, {"b", {3, 4, 5}}}) + Primitive("Q", {{"a", {0, 1, 2}}}) +
                         Primitive("R", {{"b", {3, 4, 5}}}));
  TMeshExportOptions options;
  options.TextureSource = [&] { return dir.File(""); };
  std::vector<std::pair<std::string, int>> reports;
  options.OnProgress = [&](const std::string& status, int percent) { reports.emplace_back(status, percent); };
  QZOgreMeshExporterT exporter(*scene, options);
  exporter.Export(dir.File("A.mesh"));
  const std::string materials = "Processing materials...", primitives = "Processing primitives...",
                    saving = "Saving material file...", copying = "Copying texture files...";
  EXPECT_EQ(reports, (std::vector<std::pair<std::string, int>>{
                         {materials, 0}, {materials, 0}, {materials, 33}, {materials, 66},
                         {primitives, 0}, {primitives, 0}, {primitives, 33}, {primitives, 67},
                         {saving, 0}, {saving, 0}, {saving, 50},
                         {copying, 0}, {copying, 0}, {copying, 50}}))
      << "i * 100 div n, except primitives, which round; 100 is never reported";
}
