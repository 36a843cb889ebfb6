#include <gtest/gtest.h>

#include "../support/ErrorOf.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../support/MeshModelBuilder.h"
#include "../support/TempDir.h"
#include "mesh/QZOgreMeshModelCl.h"
#include "mesh/QZOgreXMLMeshWriter.h"

namespace {

// Values that take every path of the number form: integers, short fractions,
// a negative zero, and magnitudes that switch to the exponent form.
const std::vector<TVertexValues> kTriangle = {
    {1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 1.0f, {{0.25f, 0.75f}, {0.5f, 0.125f}}},
    {-4.5f, 0.0f, 0.001f, 0.0f, 1.0f, 0.0f, {{1.0f, 0.0f}, {0.0625f, 1.0f}}},
    {1234567.0f, -0.0f, 0.00001f, 0.6f, 0.8f, 0.0f, {{0.5f, -2.0f}, {100000.0f, 4.0f}}},
};

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n";

// One line of the expected document, two blanks per level.
std::string Line(int level, const std::string& text) {
  return std::string(2 * static_cast<std::size_t>(level), ' ') + text + "\r\n";
}

std::string Write(const TTempDir& dir, const TModel& model, bool normals, bool lightmaps) {
  const std::string name = dir.File("out.xml");
  WriteXMLMesh(name, model.SubMeshes, normals, lightmaps);
  return TTempDir::Read(name);
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

}  // namespace

// --- Whole documents ---

TEST(XmlMeshDocument, ModelWithoutSubMeshesIsDeclarationMeshAndEmptySubmeshes) {
  TTempDir dir;
  EXPECT_EQ(Write(dir, TModel(), true, true), kDeclaration + "<mesh>\r\n  <submeshes />\r\n</mesh>");
}

TEST(XmlMeshDocument, SmallMeshWithNormalsComesOutLineForLine) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("Stone", 1), kTriangle, {{2, 1, 0}, {0, 2, 1}});
  const std::string expected =
      kDeclaration + Line(0, "<mesh>") + Line(1, "<submeshes>") +
      Line(2, "<submesh material=\"Stone\" usesharedvertices=\"false\" use32bitindexes=\"false\" "
              "operationtype=\"triangle_list\">") +
      Line(3, "<faces count=\"2\">") +
      Line(4, "<face v1=\"2\" v2=\"1\" v3=\"0\" />") +
      Line(4, "<face v1=\"0\" v2=\"2\" v3=\"1\" />") +
      Line(3, "</faces>") +
      Line(3, "<geometry vertexcount=\"3\">") +
      Line(4, "<vertexbuffer positions=\"true\" normals=\"true\" texture_coord_dimensions_0=\"2\" "
              "texture_coords=\"1\">") +
      Line(5, "<vertex>") +
      Line(6, "<position x=\"1\" y=\"2\" z=\"3\" />") +
      Line(6, "<normal x=\"0\" y=\"0\" z=\"1\" />") +
      Line(6, "<texcoord u=\"0.25\" v=\"0.75\" />") +
      Line(5, "</vertex>") +
      Line(5, "<vertex>") +
      Line(6, "<position x=\"-4.5\" y=\"0\" z=\"0.001\" />") +
      Line(6, "<normal x=\"0\" y=\"1\" z=\"0\" />") +
      Line(6, "<texcoord u=\"1\" v=\"0\" />") +
      Line(5, "</vertex>") +
      Line(5, "<vertex>") +
      Line(6, "<position x=\"1.23457E6\" y=\"0\" z=\"1E-5\" />") +
      Line(6, "<normal x=\"0.6\" y=\"0.8\" z=\"0\" />") +
      Line(6, "<texcoord u=\"0.5\" v=\"-2\" />") +
      Line(5, "</vertex>") +
      Line(4, "</vertexbuffer>") +
      Line(3, "</geometry>") +
      Line(2, "</submesh>") +
      Line(1, "</submeshes>") + "</mesh>";
  EXPECT_EQ(Write(dir, model, true, true), expected);
}

TEST(XmlMeshDocument, WithoutNormalsAndWithTwoSetsOrNoneLineForLine) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("two sets", 2), {kTriangle[2]}, {{0, 0, 0}});
  model.SubMesh(&model.Material("no sets", 0), {kTriangle[0]}, {});
  const std::string expected =
      kDeclaration + Line(0, "<mesh>") + Line(1, "<submeshes>") +
      Line(2, "<submesh material=\"two sets\" usesharedvertices=\"false\" use32bitindexes=\"false\" "
              "operationtype=\"triangle_list\">") +
      Line(3, "<faces count=\"1\">") +
      Line(4, "<face v1=\"0\" v2=\"0\" v3=\"0\" />") +
      Line(3, "</faces>") +
      Line(3, "<geometry vertexcount=\"1\">") +
      Line(4, "<vertexbuffer positions=\"true\" normals=\"false\" texture_coord_dimensions_0=\"2\" "
              "texture_coord_dimensions_1=\"2\" texture_coords=\"2\">") +
      Line(5, "<vertex>") +
      Line(6, "<position x=\"1.23457E6\" y=\"0\" z=\"1E-5\" />") +
      Line(6, "<texcoord u=\"0.5\" v=\"-2\" />") +
      Line(6, "<texcoord u=\"100000\" v=\"4\" />") +
      Line(5, "</vertex>") +
      Line(4, "</vertexbuffer>") +
      Line(3, "</geometry>") +
      Line(2, "</submesh>") +
      Line(2, "<submesh material=\"no sets\" usesharedvertices=\"false\" use32bitindexes=\"false\" "
              "operationtype=\"triangle_list\">") +
      Line(3, "<faces count=\"0\" />") +
      Line(3, "<geometry vertexcount=\"1\">") +
      Line(4, "<vertexbuffer positions=\"true\" normals=\"false\" texture_coords=\"0\">") +
      Line(5, "<vertex>") +
      Line(6, "<position x=\"1\" y=\"2\" z=\"3\" />") +
      Line(5, "</vertex>") +
      Line(4, "</vertexbuffer>") +
      Line(3, "</geometry>") +
      Line(2, "</submesh>") +
      Line(1, "</submeshes>") + "</mesh>";
  EXPECT_EQ(Write(dir, model, false, true), expected);
}

// --- Sets and normals ---

// Levels of detail follow the sub-meshes as OgreXMLConverter writes them:
// the strategy, the level count with the full mesh, and per level its
// distance (in the mesh's number form) and each sub-mesh's faces, an empty
// list included.
TEST(XmlMeshDocument, LevelsOfDetailFollowTheSubMeshesLineForLine) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("Stone", 0), {kTriangle[0], kTriangle[1]}, {});
  model.SubMesh(&model.Material("Wood", 0), {kTriangle[0]}, {});
  const std::vector<TDetailLevel> levels = {{250.5f, {{1, 0, 1, 0, 1, 1}, {0, 0, 0}}}, {1234567.0f, {{1, 0, 1}, {}}}};
  const std::string name = dir.File("levels.xml");
  WriteXMLMesh(name, model.SubMeshes, false, true, nullptr, levels);
  const std::string document = TTempDir::Read(name);
  const std::string expected =
      Line(1, "</submeshes>") +
      Line(1, "<levelofdetail strategy=\"distance_sphere\" numlevels=\"3\" manual=\"false\">") +
      Line(2, "<lodgenerated value=\"250.5\">") +
      Line(3, "<lodfacelist submeshindex=\"0\" numfaces=\"2\">") +
      Line(4, "<face v1=\"1\" v2=\"0\" v3=\"1\" />") +
      Line(4, "<face v1=\"0\" v2=\"1\" v3=\"1\" />") +
      Line(3, "</lodfacelist>") +
      Line(3, "<lodfacelist submeshindex=\"1\" numfaces=\"1\">") +
      Line(4, "<face v1=\"0\" v2=\"0\" v3=\"0\" />") +
      Line(3, "</lodfacelist>") +
      Line(2, "</lodgenerated>") +
      Line(2, "<lodgenerated value=\"1.23457E6\">") +
      Line(3, "<lodfacelist submeshindex=\"0\" numfaces=\"1\">") +
      Line(4, "<face v1=\"1\" v2=\"0\" v3=\"1\" />") +
      Line(3, "</lodfacelist>") +
      Line(3, "<lodfacelist submeshindex=\"1\" numfaces=\"0\" />") +
      Line(2, "</lodgenerated>") +
      Line(1, "</levelofdetail>") + "</mesh>";
  ASSERT_GE(document.size(), expected.size());
  EXPECT_EQ(document.substr(document.size() - expected.size()), expected);
  // Without levels the document ends with the sub-meshes, as it always did.
  EXPECT_EQ(Write(dir, model, false, true).find("levelofdetail"), std::string::npos);
}

TEST(XmlMeshVertices, NormalsSwitchChangesTheAttributeAndEveryVertex) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("M", 0), kTriangle, {{2, 1, 0}});
  const std::string with = Write(dir, model, true, true);
  EXPECT_EQ(Occurrences(with, "normals=\"true\""), 1u);
  EXPECT_EQ(Occurrences(with, "<normal "), 3u);
  const std::string without = Write(dir, model, false, true);
  EXPECT_EQ(Occurrences(without, "normals=\"false\""), 1u);
  EXPECT_EQ(Occurrences(without, "<normal "), 0u);
}

TEST(XmlMeshVertices, LeftOutLightmapTakesOneSetOffEveryVertex) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("LightMapped0", 2, true), kTriangle, {{2, 1, 0}});

  const std::string without = Write(dir, model, true, false);
  EXPECT_EQ(Occurrences(without, "texture_coord_dimensions_0=\"2\" texture_coords=\"1\""), 1u);
  EXPECT_EQ(Occurrences(without, "texture_coord_dimensions_1"), 0u);
  EXPECT_EQ(Occurrences(without, "<texcoord "), 3u);
  EXPECT_EQ(Occurrences(without, "<texcoord u=\"0.0625\""), 0u);  // set 1 of the second vertex

  const std::string with = Write(dir, model, true, true);
  EXPECT_EQ(Occurrences(with, "texture_coord_dimensions_1=\"2\" texture_coords=\"2\""), 1u);
  EXPECT_EQ(Occurrences(with, "<texcoord "), 6u);
  EXPECT_EQ(Occurrences(with, "<texcoord u=\"0.0625\" v=\"1\" />"), 1u);
}

TEST(XmlMeshVertices, VertexLackingASetOfItsMaterialFailsAndKeepsAnEarlierFile) {
  TTempDir dir;
  const std::string name = dir.File("out.xml");
  TTempDir::Write(name, "earlier contents");
  TModel model;
  TVertexValues bare = kTriangle[0];
  bare.Sets.clear();
  model.SubMesh(&model.Material("M", 1), {kTriangle[0], bare}, {{0, 1, 0}});
  EXPECT_EQ(ErrorOf([&] { WriteXMLMesh(name, model.SubMeshes, true, true); }), "List index out of bounds (0)");
  EXPECT_EQ(TTempDir::Read(name), "earlier contents");
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
}

// --- Index width ---

namespace {
QZOgreSubMeshT& AddStrip(TModel& model, int vertices) {
  QZOgreSubMeshT& subMesh = model.SubMesh(&model.Material("strip", 0), {}, {});
  for (int i = 0; i < vertices; ++i) subMesh.AddVertex(QZOgreVertexT(static_cast<float>(i), 0, 0));
  subMesh.AddFace(0, 1, 2, subMesh.Material);
  return subMesh;
}
}  // namespace

TEST(XmlMeshIndices, MoreThan65536VerticesAreWrittenWith32BitIndexes) {
  TTempDir dir;
  TModel model;
  QZOgreSubMeshT& subMesh = AddStrip(model, 65537);
  subMesh.AddFace(65536, 65535, 0, subMesh.Material);
  const std::string text = Write(dir, model, false, true);
  EXPECT_EQ(Occurrences(text, "use32bitindexes=\"true\""), 1u);
  EXPECT_EQ(Occurrences(text, "<face v1=\"65536\" v2=\"65535\" v3=\"0\" />"), 1u);
  EXPECT_EQ(Occurrences(text, "vertexcount=\"65537\""), 1u);
  EXPECT_EQ(Occurrences(text, "<position x=\"65536\" y=\"0\" z=\"0\" />"), 1u);
  EXPECT_EQ(Occurrences(text, "<vertex>"), 65537u);
}

TEST(XmlMeshIndices, SixteenBitsAreDeclaredUpToIndex65535) {
  TTempDir dir;
  TModel model;
  QZOgreSubMeshT& subMesh = AddStrip(model, 65536);
  subMesh.AddFace(65535, 1, 0, subMesh.Material);
  EXPECT_EQ(Occurrences(Write(dir, model, false, true), "use32bitindexes=\"false\""), 1u);
}

TEST(XmlMeshIndices, TheLargestIndexDecidesNotTheVertexCount) {
  TTempDir dir;
  TModel model;
  AddStrip(model, 70000);                                             // only indices 0 to 2 used
  QZOgreSubMeshT& second = AddStrip(model, 3);
  second.AddFace(2, 1, 70000, second.Material);                       // a broken model, written as it is
  const std::string text = Write(dir, model, false, true);
  const std::size_t secondSubMesh = text.find("<submesh ", text.find("<submesh ") + 1);
  ASSERT_NE(secondSubMesh, std::string::npos);
  EXPECT_EQ(Occurrences(text.substr(0, secondSubMesh), "use32bitindexes=\"false\""), 1u);
  EXPECT_EQ(Occurrences(text.substr(secondSubMesh), "use32bitindexes=\"true\""), 1u);
}

// --- The file ---

TEST(XmlMeshFile, MissingDirectoryGivesTheCreateError) {
  TTempDir dir;
  const std::string name = dir.File("missing/out.xml");
  EXPECT_EQ(ErrorOf([&] { WriteXMLMesh(name, {}, true, true); }), "Cannot create file " + name);
}

TEST(XmlMeshFile, ReplacesAnEarlierFileWhenComplete) {
  TTempDir dir;
  const std::string name = dir.File("out.xml");
  TTempDir::Write(name, std::string(500, 'x'));
  WriteXMLMesh(name, {}, false, false);
  EXPECT_EQ(TTempDir::Read(name), kDeclaration + "<mesh>\r\n  <submeshes />\r\n</mesh>");
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
}
