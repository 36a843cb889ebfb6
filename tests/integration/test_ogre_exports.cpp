// What our exporter writes, read back by OGRE itself: the binary mesh through
// OgreXMLConverter and OGRE's mesh loader, the XML mesh through the converter
// in both directions, and the material script through OGRE's script compiler.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "OgreTools.h"
#include "SceneDocumentGenerator.h"
#include "../support/SceneText.h"
#include "asset/AssetExportJob.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneReader.h"

namespace {
struct TExport {
  std::unique_ptr<TScene> Scene;
  std::unique_ptr<QZOgreMeshExporterT> Exporter;
};

// Exports the scene document into `directory` as `meshName` with normals,
// lightmaps and the script beside the mesh, in the script form for OGRE 1.7
// and later, which quotes names with blanks, and the binary mesh in `format`.
TExport Export(const std::string& document, const std::string& directory, const std::string& meshName,
               TMeshFormat format = TMeshFormat::V1_30) {
  TExport result;
  result.Scene = TXMLSceneReader().ReadSceneText(document);
  result.Scene->CalculateNormals(66);
  TMeshExportOptions options;
  options.ExportNormals = true;
  options.Target.MaterialNameForm = TMaterialNameForm::Quoted;
  options.NamePrefix = "Court_";
  options.CopyTextures = false;
  options.Target.MeshFormat = format;
  result.Exporter = std::make_unique<QZOgreMeshExporterT>(*result.Scene, options);
  result.Exporter->Export(directory + "/" + meshName);
  return result;
}

std::string Example() { return TTempDir::Read(std::string(VELDARA_EXAMPLES_DIR) + "/courtyard.xml"); }

// Only the notice that our files use the 1.30 format is expected from OGRE.
void ExpectNoWarningsButTheFormatNotice(const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings)
    EXPECT_NE(warning.find("MeshSerializer_v1.30"), std::string::npos) << warning;
}

void ExpectSameMesh(const QZOgreMeshExporterT& exporter, const TOgreMesh& mesh) {
  EXPECT_FALSE(mesh.SharedGeometry.has_value());
  const TShortIndexSubMeshes binary = exporter.BinarySubMeshes();
  ASSERT_EQ(mesh.SubMeshes.size(), binary.SubMeshes.size());
  for (std::size_t s = 0; s < mesh.SubMeshes.size(); ++s) {
    SCOPED_TRACE("sub-mesh " + std::to_string(s));
    const QZOgreSubMeshT& ours = *binary.SubMeshes[s];
    const TOgreSubMesh& theirs = mesh.SubMeshes[s];
    EXPECT_EQ(theirs.Material, ours.Material->Name);
    EXPECT_EQ(theirs.OperationType, "triangle_list");
    EXPECT_FALSE(theirs.UsesSharedVertices);
    EXPECT_FALSE(theirs.Use32BitIndexes);
    ASSERT_EQ(theirs.Faces.size(), ours.Faces.size());
    for (std::size_t f = 0; f < ours.Faces.size(); ++f)
      for (std::size_t i = 0; i < 3; ++i)
        ASSERT_EQ(theirs.Faces[f][i], static_cast<uint32_t>(ours.Faces[f].Indices[i])) << "face " << f;
    const int sets = ours.ExportedSetCount(true);
    ASSERT_EQ(theirs.Geometry.Buffers.size(), 1u) << "one interleaved buffer";
    EXPECT_TRUE(theirs.Geometry.Buffers[0].Normals);
    EXPECT_EQ(theirs.Geometry.Buffers[0].TexCoordDimensions, std::vector<int>(static_cast<std::size_t>(sets), 2));
    ASSERT_EQ(theirs.Geometry.Vertices.size(), ours.Vertices.size());
    for (std::size_t v = 0; v < ours.Vertices.size(); ++v) {
      const QZOgreVertexT& a = ours.Vertices[v];
      const TOgreVertex& b = theirs.Geometry.Vertices[v];
      ASSERT_EQ(b.Position, (std::array<float, 3>{ThroughOgreXml(a.X), ThroughOgreXml(a.Y), ThroughOgreXml(a.Z)}))
          << "vertex " << v;
      ASSERT_TRUE(b.Normal.has_value());
      ASSERT_EQ(*b.Normal, (std::array<float, 3>{ThroughOgreXml(a.Normal.X), ThroughOgreXml(a.Normal.Y),
                                                 ThroughOgreXml(a.Normal.Z)}));
      ASSERT_EQ(b.TexCoords.size(), static_cast<std::size_t>(sets));
      for (std::size_t k = 0; k < b.TexCoords.size(); ++k)
        ASSERT_EQ(b.TexCoords[k], (std::vector<float>{ThroughOgreXml(a.TextureCoordinates[k].U),
                                                      ThroughOgreXml(a.TextureCoordinates[k].V)}));
    }
  }
}
}  // namespace

TEST(OgreReadsOurMeshes, BinaryMeshOfTheExampleConvertsAsWritten) {
  TTempDir dir;
  const TExport exported = Export(Example(), dir.Path().string(), "Courtyard.mesh");
  const TOgreMeshDump dump = DumpBinaryMesh(dir.File("Courtyard.mesh"));
  ExpectNoWarningsButTheFormatNotice(dump.Warnings);
  ExpectSameMesh(*exported.Exporter, dump.Mesh);
}

TEST(OgreReadsOurMeshes, BinaryMeshLoadsWithItsScriptAndBounds) {
  TTempDir dir;
  const TExport exported = Export(Example(), dir.Path().string(), "Courtyard.mesh");
  const TOgreMeshLoad load = LoadMeshInOgre(dir.File("Courtyard.mesh"), {dir.File("Courtyard.material")});
  ExpectNoWarningsButTheFormatNotice(load.Warnings);
  ASSERT_TRUE(load.Bounds.has_value());
  const TMeshBounds ours = exported.Exporter->CalculateBounds();
  EXPECT_EQ(load.Bounds->MinX, ours.MinX);
  EXPECT_EQ(load.Bounds->MinY, ours.MinY);
  EXPECT_EQ(load.Bounds->MinZ, ours.MinZ);
  EXPECT_EQ(load.Bounds->MaxX, ours.MaxX);
  EXPECT_EQ(load.Bounds->MaxY, ours.MaxY);
  EXPECT_EQ(load.Bounds->MaxZ, ours.MaxZ);
  EXPECT_EQ(load.Bounds->Radius, ours.Radius);
}

TEST(OgreReadsOurMeshes, GeneratedLevelConvertsAsWritten) {
  TTempDir dir;
  const TExport exported = Export(GenerateSceneDocument({.Polygons = 3000, .Seed = 5}), dir.Path().string(), "Level.mesh");
  ASSERT_GT(exported.Exporter->GetSubMeshes().size(), 10u);
  const TOgreMeshDump dump = DumpBinaryMesh(dir.File("Level.mesh"));
  ExpectNoWarningsButTheFormatNotice(dump.Warnings);
  ExpectSameMesh(*exported.Exporter, dump.Mesh);
  EXPECT_TRUE(LoadMeshInOgre(dir.File("Level.mesh"), {dir.File("Level.material")}).Bounds.has_value());
}

// A triangle's face normal, by OGRE's rule: counter-clockwise is the front.
std::array<double, 3> FaceNormal(const TOgreGeometry& geometry, const std::array<uint32_t, 3>& face) {
  const auto& a = geometry.Vertices[face[0]].Position;
  const auto& b = geometry.Vertices[face[1]].Position;
  const auto& c = geometry.Vertices[face[2]].Position;
  const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
  const double v[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
  return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

double Dot(const std::array<double, 3>& a, const std::array<double, 3>& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

TEST(OgreReadsOurMeshes, GeneratedLevelIsRightSideOutAndEveryTriangleFacesAsItsNormals) {
  TTempDir dir;
  Export(GenerateSceneDocument({.Polygons = 3000, .Seed = 5}), dir.Path().string(), "Level.mesh.xml");
  const TOgreMesh mesh = ParseOgreMeshXml(TTempDir::Read(dir.File("Level.mesh.xml")));
  int triangles = 0, againstNormals = 0, inward = 0;
  for (const TOgreSubMesh& subMesh : mesh.SubMeshes) {
    const TOgreGeometry& geometry = subMesh.Geometry;
    std::array<double, 3> centre{};
    for (const TOgreVertex& vertex : geometry.Vertices)
      for (std::size_t axis = 0; axis < 3; ++axis) centre[axis] += vertex.Position[axis] / double(geometry.Vertices.size());
    const bool terrain = subMesh.Material == "Court_Material 1" && geometry.Vertices.size() > 24;
    for (const auto& face : subMesh.Faces) {
      ++triangles;
      const std::array<double, 3> normal = FaceNormal(geometry, face);
      // The smoothed normals of its corners lean the way the triangle faces.
      std::array<double, 3> corners{}, middle{};
      for (const uint32_t index : face)
        for (std::size_t axis = 0; axis < 3; ++axis) {
          corners[axis] += (*geometry.Vertices[index].Normal)[axis];
          middle[axis] += geometry.Vertices[index].Position[axis] / 3.0 - centre[axis] / 3.0;
        }
      if (Dot(normal, corners) <= 0) ++againstNormals;
      // Terrain faces up; boxes and the building's walls face away from their middle.
      if (terrain ? normal[1] <= 0 : Dot(normal, middle) <= 0) ++inward;
    }
  }
  EXPECT_GT(triangles, 5000);
  EXPECT_EQ(againstNormals, 0);
  EXPECT_EQ(inward, 0);
}

TEST(OgreReadsOurMeshes, AGeneratedTerrainWeldsTheCornersItsQuadsShare) {
  TTempDir dir;
  const TExport exported = Export(GenerateSceneDocument({.Polygons = 20000, .Shape = TSceneShape::Terrain}),
                                  dir.Path().string(), "Terrain.mesh");
  // Two tiles of 100 x 100 quads: 101 x 101 corners each, 20,000 triangles.
  ASSERT_EQ(exported.Exporter->GetSubMeshes().size(), 2u);
  for (const auto& subMesh : exported.Exporter->GetSubMeshes()) {
    EXPECT_EQ(subMesh->Vertices.size(), 101u * 101u);
    EXPECT_EQ(subMesh->Faces.size(), 20000u);
  }
  const TOgreMeshDump dump = DumpBinaryMesh(dir.File("Terrain.mesh"));
  ExpectSameMesh(*exported.Exporter, dump.Mesh);
}

// A terrain of 140 x 140 quads in one primitive of one material. Each quad's
// corners have texture coordinates of their own: 78,400 vertices, more than
// 16-bit indices address.
std::string TerrainDocument() {
  constexpr int side = 140;
  std::string vertices, polygons;
  const auto id = [](int x, int z) { return std::to_string(z * (side + 1) + x); };
  for (int z = 0; z <= side; ++z)
    for (int x = 0; x <= side; ++x)
      vertices += "<vertex id=\"" + id(x, z) + "\" x=\"" + std::to_string(x) + "\" y=\"" + std::to_string((x * z) % 5) +
                  "\" z=\"" + std::to_string(z) + "\" />";
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x)
      polygons += "<poly mid=\"g\"><vertex vid=\"" + id(x, z) + "\" u0=\"0\" v0=\"0\" /><vertex vid=\"" + id(x, z + 1) +
                  "\" u0=\"0\" v0=\"1\" /><vertex vid=\"" + id(x + 1, z + 1) + "\" u0=\"1\" v0=\"1\" /><vertex vid=\"" +
                  id(x + 1, z) + "\" u0=\"1\" v0=\"0\" /></poly>";
  return "<scene><materials><category name=\"C\"><material id=\"g\" name=\"Ground\" used=\"true\"><layer "
         "type=\"texture\" blend=\"replace\"><texture file=\"ground.png\" /></layer></material></category></materials>"
         "<primitives><primitive id=\"t\" name=\"Terrain\" type=\"userdefined\" visible=\"true\" snap=\"none\" "
         "autoUV=\"false\"><vertices>" +
         vertices + "</vertices><polygons>" + polygons + "</polygons></primitive></primitives></scene>";
}

TEST(OgreReadsOurMeshes, APrimitiveBeyondSixteenBitIndicesLoadsAsSeveralSubMeshesOfItsMaterial) {
  TTempDir dir;
  const TExport exported = Export(TerrainDocument(), dir.Path().string(), "Terrain.mesh");
  ASSERT_EQ(exported.Exporter->GetSubMeshes().size(), 1u) << "the model keeps the primitive whole";
  const TShortIndexSubMeshes binary = exported.Exporter->BinarySubMeshes();
  ASSERT_EQ(binary.SubMeshes.size(), 2u);
  std::size_t faces = 0;
  for (const QZOgreSubMeshT* subMesh : binary.SubMeshes) {
    EXPECT_LE(subMesh->Vertices.size(), 65536u);
    EXPECT_EQ(subMesh->Material->Name, "Court_Ground");
    faces += subMesh->Faces.size();
  }
  EXPECT_EQ(faces, 2u * 140 * 140) << "every triangle of the primitive";
  const TOgreMeshDump dump = DumpBinaryMesh(dir.File("Terrain.mesh"));
  ExpectNoWarningsButTheFormatNotice(dump.Warnings);
  ExpectSameMesh(*exported.Exporter, dump.Mesh);
  EXPECT_TRUE(LoadMeshInOgre(dir.File("Terrain.mesh"), {dir.File("Terrain.material")}).Bounds.has_value());
}

TEST(OgreReadsOurMeshes, XmlMeshConvertsToBinaryAndBack) {
  TTempDir dir;
  // The example's sub-meshes all have materials of their own, which the converter requires.
  const TExport exported = Export(Example(), dir.Path().string(), "Courtyard.mesh.xml");
  const TOgreMeshDump dump = RoundTripXmlMesh(dir.File("Courtyard.mesh.xml"));
  EXPECT_TRUE(dump.Warnings.empty());
  ExpectSameMesh(*exported.Exporter, dump.Mesh);
}

TEST(OgreReadsOurMaterials, ScriptCompilesToTheUnitsWeWrote) {
  TTempDir dir;
  const TExport exported = Export(Example() , dir.Path().string(), "Courtyard.mesh");
  const std::vector<std::string> lines = CheckMaterialScript(dir.File("Courtyard.material"));
  std::vector<std::string> expected;
  for (const auto& material : exported.Exporter->GetMaterials()) {
    expected.push_back("material " + material->Name);
    expected.push_back("technique 0");
    for (int i = 0; i < material->TextureUnitCount(); ++i) {
      const QZOgreTextureUnitT& unit = material->GetTextureUnit(i);
      const std::string texture = unit.Texture->IsColor ? "" : TextureTargetName(unit.Texture->FileName);
      expected.push_back("texture_unit " + std::to_string(i) + " texture=" + texture +
                         " tex_coord_set=" + std::to_string(unit.TexCoordSet));
    }
  }
  // Keep of each line what the expectation names: the unit's texture and coordinate set.
  std::vector<std::string> seen;
  for (const std::string& line : lines) {
    if (line.rfind("pass ", 0) == 0) continue;
    if (line.rfind("texture_unit ", 0) == 0) {
      const std::size_t end = line.find(' ', line.find("tex_coord_set="));
      seen.push_back(line.substr(0, end));
    } else {
      seen.push_back(line);
    }
  }
  EXPECT_EQ(seen, expected);
  // The translucent colour layer: a manual colour with alpha, blended and not writing depth.
  const auto glass = std::find(lines.begin(), lines.end(), "material Court_Tinted glass");
  ASSERT_NE(glass, lines.end());
  EXPECT_EQ(glass[2], "pass 0 scene_blend=src_alpha,one_minus_src_alpha depth_write=off");
  EXPECT_NE(glass[3].find("colour_arg1=0.1568627,0.3529412,0.627451"), std::string::npos) << glass[3];
  EXPECT_NE(glass[3].find("alpha_arg1=0.5019608"), std::string::npos) << glass[3];
  const auto lightmapped = std::find(lines.begin(), lines.end(), "material Court_LightMapped0");
  ASSERT_NE(lightmapped, lines.end());
  EXPECT_NE(lightmapped[4].find("tex_address_mode=clamp,clamp,clamp filtering=linear,linear,none"), std::string::npos)
      << lightmapped[4];
}

// The demo crate exported as the asset "Crate" into a repository in `dir`, at
// the scene reader's scale of 1; returns the repository's folder.
std::string ExportDemoCrate(const TTempDir& dir, std::vector<std::string>& warnings) {
  const std::string root = dir.File("Repo");
  for (const char* folder : {"Meshes", "Physics", "AssetDefinitions"}) std::filesystem::create_directories(root + "/" + folder);
  TAssetExportOptions options;
  options.AssetName = "Crate";
  options.Repository = root;
  options.TextureSource = [] { return std::string(VELDARA_EXAMPLES_DIR) + "/"; };
  ExportAsset(SceneText(TTempDir::Read(std::string(VELDARA_EXAMPLES_DIR) + "/crate.xml")), options,
              {[&](const std::string& warning) { warnings.push_back(warning); }, {}});
  return root;
}

TEST(OgreReadsOurAssets, TheDemoAssetLoadsWithItsMaterials) {
  TTempDir dir;
  std::vector<std::string> warnings;
  const std::string root = ExportDemoCrate(dir, warnings);
  EXPECT_TRUE(warnings.empty());

  const std::string script = root + "/Materials/Crate.material";
  const std::vector<std::string> lines = CheckMaterialScript(script);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return line.rfind("material ", 0) == 0; }), 2);
  const TOgreMeshLoad load = LoadMeshInOgre(root + "/Meshes/Crate.mesh", {script});
  ExpectNoWarningsButTheFormatNotice(load.Warnings);
  ASSERT_TRUE(load.Bounds.has_value());
  EXPECT_EQ(load.Bounds->MaxX, 60.0f) << "the crate alone: the collision volumes stay out of the mesh";
  const TOgreMeshDump dump = DumpBinaryMesh(root + "/Meshes/Crate.mesh");
  ASSERT_EQ(dump.Mesh.SubMeshes.size(), 2u);
  EXPECT_EQ(dump.Mesh.SubMeshes[0].Material, "Crate_LightMapped0");
  EXPECT_EQ(dump.Mesh.SubMeshes[1].Material, "Crate_Metal");
}

TEST(OgreReadsOurAssets, APointLightNearAnOffCentreAssetReachesIt) {
  // The demo crate stands on the floor: its box runs from (0, 0, 0) to
  // (60, 60, 60), so its origin is a corner, not its centre. OGRE centres
  // the entity's bounding sphere on the origin.
  TTempDir dir;
  std::vector<std::string> warnings;
  const std::string mesh = ExportDemoCrate(dir, warnings) + "/Meshes/Crate.mesh";
  ASSERT_EQ(LoadMeshInOgre(mesh).Bounds->MaxX, 60.0f);

  // A lamp 8.7 units beyond the far corner (60, 60, 60) with a range of 15
  // lights the crate; one of range 5 does not reach it.
  EXPECT_EQ(LightsReachingInOgre(mesh, 65, 65, 65, 15), 1);
  EXPECT_EQ(LightsReachingInOgre(mesh, 65, 65, 65, 5), 0);
  // Near the origin's corner as well.
  EXPECT_EQ(LightsReachingInOgre(mesh, -5, -5, -5, 10), 1);
}

TEST(OgreReadsOurMaterials, ALaterReplaceLayerReplacesAndEveryBlendCompilesWithoutComplaint) {
  TTempDir dir;
  // One layer of each blend above a texture: OGRE must take every line as written.
  std::string layers = "<layer type=\"texture\" blend=\"replace\"><texture file=\"base.png\" /></layer>";
  for (const char* blend : {"replace", "add", "modulate", "alphablend"})
    layers += std::string("<layer type=\"texture\" blend=\"") + blend + "\"><texture file=\"" + blend + ".png\" /></layer>";
  // Each corner has a coordinate pair for each of the five layers.
  const auto corner = [](const char* id) {
    std::string text = std::string("<vertex vid=\"") + id + "\"";
    for (int layer = 0; layer < 5; ++layer)
      text += " u" + std::to_string(layer) + "=\"0\" v" + std::to_string(layer) + "=\"0\"";
    return text + " />";
  };
  const std::string document =
      "<scene><materials><category name=\"C\"><material id=\"m\" name=\"Layered stone\" used=\"true\">" + layers +
      "</material></category></materials><primitives><primitive id=\"p\" name=\"P\" type=\"rectangle\" "
      "visible=\"true\" snap=\"none\" autoUV=\"false\"><vertices><vertex id=\"a\" x=\"0\" y=\"0\" z=\"0\" />"
      "<vertex id=\"b\" x=\"1\" y=\"0\" z=\"0\" /><vertex id=\"c\" x=\"1\" y=\"0\" z=\"1\" /></vertices>"
      "<polygons><poly mid=\"m\">" + corner("a") + corner("b") + corner("c") + "</poly></polygons>"
      "</primitive></primitives></scene>";
  Export(document, dir.Path().string(), "Layers.mesh");
  const std::vector<std::string> lines = CheckMaterialScript(dir.File("Layers.material"));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "material Court_Layered stone") << "the quoted name reaches OGRE whole";
  const auto colourOp = [&](std::size_t unit) {
    const std::string& line = lines[3 + unit];
    const std::size_t from = line.find("colour_op=");
    return line.substr(from, line.find(' ', from) - from);
  };
  EXPECT_EQ(colourOp(0), "colour_op=modulate(src_texture,src_current)") << "the first layer's replace";
  EXPECT_EQ(colourOp(1), "colour_op=source1(src_texture,src_current)") << "a later layer's replace";
  EXPECT_EQ(colourOp(2), "colour_op=add(src_texture,src_current)");
  EXPECT_EQ(colourOp(3), "colour_op=modulate(src_texture,src_current)");
  EXPECT_EQ(colourOp(4), "colour_op=blend_texture_alpha(src_texture,src_current)");
}

TEST(OgreReadsOurAssets, EverySampleInTheFormForLaterOgreLoadsWithoutComplaint) {
  for (const char* sample : {"tile", "crate", "courtyard"}) {
    SCOPED_TRACE(sample);
    TTempDir dir;
    const std::string root = dir.File("Repo");
    for (const char* folder : {"Meshes", "Physics", "AssetDefinitions"})
      std::filesystem::create_directories(root + "/" + folder);
    TAssetExportOptions options;
    options.AssetName = "Sample";
    options.Repository = root;
    options.Target.MaterialNameForm = TMaterialNameForm::Quoted;
    options.TextureSource = [] { return std::string(VELDARA_EXAMPLES_DIR) + "/"; };
    std::vector<std::string> warnings;
    ExportAsset(SceneText(TTempDir::Read(std::string(VELDARA_EXAMPLES_DIR) + "/" + sample + ".xml")), options,
                {[&](const std::string& warning) { warnings.push_back(warning); }, {}});
    EXPECT_TRUE(warnings.empty());
    // Both fail on any error or unexpected warning of OGRE's.
    const std::string script = root + "/Materials/Sample.material";
    EXPECT_FALSE(CheckMaterialScript(script).empty());
    ExpectNoWarningsButTheFormatNotice(LoadMeshInOgre(root + "/Meshes/Sample.mesh", {script}).Warnings);
  }
}

// --- The formats of later OGREs ---

#ifndef VELDARA_ASSIMP
#define VELDARA_ASSIMP "assimp"
#endif

namespace {
struct TFormatCase {
  TMeshFormat Format;
  std::string Version;
};
const TFormatCase kFormats[] = {
    {TMeshFormat::V1_30, "1.30"}, {TMeshFormat::V1_8, "1.8"}, {TMeshFormat::V1_100, "1.100"}};

// The generated level in every format, each in a folder of its own.
struct TLevelInEveryFormat {
  TTempDir Dir;
  std::vector<TExport> Exports;
  std::vector<std::string> Files;

  TLevelInEveryFormat() {
    const std::string document = GenerateSceneDocument({.Polygons = 3000, .Seed = 5});
    for (const TFormatCase& format : kFormats) {
      const std::string folder = Dir.File(format.Version);
      std::filesystem::create_directories(folder);
      Exports.push_back(Export(document, folder, "Level.mesh", format.Format));
      Files.push_back(folder + "/Level.mesh");
    }
  }
  const std::string& Oldest() const { return Files[0]; }
  const std::string& Older() const { return Files[1]; }
  const std::string& Newest() const { return Files[2]; }
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// A number that `assimp info` prints on the line starting with `label`.
std::string AssimpFigure(const std::string& info, const std::string& label) {
  const std::size_t at = info.find("\n" + label);
  if (at == std::string::npos) return "(no " + label + ")";
  const std::size_t start = info.find_first_not_of(' ', at + 1 + label.size());
  return info.substr(start, info.find('\n', start) - start);
}
}  // namespace

TEST(OgreReadsEveryMeshFormat, TheNewestLoadsWithoutAnyWarningAndTheOthersOnlyWithTheirFormatNotice) {
  for (const TFormatCase& format : kFormats) {
    SCOPED_TRACE(format.Version);
    TTempDir dir;
    const TExport exported = Export(Example(), dir.Path().string(), "Courtyard.mesh", format.Format);
    const TOgreMeshLoad load = LoadMeshInOgre(dir.File("Courtyard.mesh"), {dir.File("Courtyard.material")});
    if (format.Format == TMeshFormat::V1_100) {
      EXPECT_TRUE(load.Warnings.empty()) << Joined(load.Warnings);
    } else {
      ASSERT_EQ(load.Warnings.size(), 1u) << Joined(load.Warnings);
      EXPECT_NE(load.Warnings[0].find("uses an old format [MeshSerializer_v" + format.Version + "]"),
                std::string::npos)
          << load.Warnings[0];
    }
    ASSERT_TRUE(load.Bounds.has_value());
    const TMeshBounds ours = exported.Exporter->CalculateBounds();
    EXPECT_EQ(load.Bounds->MinX, ours.MinX);
    EXPECT_EQ(load.Bounds->MaxY, ours.MaxY);
    EXPECT_EQ(load.Bounds->Radius, ours.Radius);
  }
}

TEST(OgreReadsEveryMeshFormat, TheConvertersXmlOfEveryFormatIsThatOfTheOldest) {
  const TLevelInEveryFormat level;
  ASSERT_GT(level.Exports[0].Exporter->GetSubMeshes().size(), 10u);
  const TOgreMeshDump oldest = DumpBinaryMesh(level.Oldest());
  ExpectSameMesh(*level.Exports[0].Exporter, oldest.Mesh);
  for (const std::string& file : {level.Older(), level.Newest()}) {
    SCOPED_TRACE(file);
    const TOgreMeshDump dump = DumpBinaryMesh(file);
    EXPECT_EQ(dump.Xml, oldest.Xml);
  }
  EXPECT_TRUE(DumpBinaryMesh(level.Newest()).Warnings.empty());
}

// OGRE's own serializer, handed the oldest file, writes the bytes we write
// for each later format: when it is told not to add edge lists (-e) nor to
// reorganise the buffers (-r), which are its own additions.
TEST(OgreWritesOurMeshFormats, TheUpgraderTurnsTheOldestIntoOurFileOfEachLaterFormat) {
  const TLevelInEveryFormat level;
  const TOgreUpgrade older = UpgradeMesh(level.Oldest(), {"-e", "-r", "-V", "1.8"});
  EXPECT_TRUE(older.Bytes == TTempDir::Read(level.Older())) << "1.8 differs from OGRE's";
  const TOgreUpgrade newest = UpgradeMesh(level.Oldest(), {"-e", "-r"});
  EXPECT_TRUE(newest.Bytes == TTempDir::Read(level.Newest())) << "1.100 differs from OGRE's";
}

TEST(OgreWritesOurMeshFormats, TheUpgraderLeavesTheNewestAsItIs) {
  const TLevelInEveryFormat level;
  const std::string ours = TTempDir::Read(level.Newest());
  const TOgreUpgrade plain = UpgradeMesh(level.Newest(), {"-e", "-r"});
  EXPECT_TRUE(plain.Warnings.empty()) << Joined(plain.Warnings);
  EXPECT_TRUE(plain.Bytes == ours) << "rewritten as it was read, the file comes out byte for byte";
  // With its defaults the upgrader adds edge lists, which the XML form does
  // not hold, and would reorganise buffers not in its recommended layout:
  // our geometry comes through unchanged.
  const TOgreUpgrade upgraded = UpgradeMesh(level.Newest());
  EXPECT_TRUE(upgraded.Warnings.empty()) << Joined(upgraded.Warnings);
  EXPECT_GT(upgraded.Bytes.size(), ours.size()) << "the edge lists were added";
  TTempDir dir;
  TTempDir::Write(dir.File("upgraded.mesh"), upgraded.Bytes);
  EXPECT_EQ(DumpBinaryMesh(dir.File("upgraded.mesh")).Xml, DumpBinaryMesh(level.Newest()).Xml);
}

// assimp reads only the 1.8 format of all these, and says so of the others.
// Raw (--raw): its post-processing would merge the sub-meshes of a material.
TEST(AssimpReadsOurMeshes, TheOlderFormatWithEverySubMeshAndTriangle) {
  const TLevelInEveryFormat level;
  const TCommandResult info = RunCommand({VELDARA_ASSIMP, "info", level.Older(), "--raw"});
  ASSERT_EQ(info.ExitStatus, 0) << info.Out << info.Err;
  const auto& subMeshes = level.Exports[1].Exporter->GetSubMeshes();
  std::size_t faces = 0;
  for (const auto& subMesh : subMeshes) faces += subMesh->Faces.size();
  EXPECT_EQ(AssimpFigure(info.Out, "Meshes:"), std::to_string(subMeshes.size())) << info.Out;
  EXPECT_EQ(AssimpFigure(info.Out, "Faces:"), std::to_string(faces)) << info.Out;
  EXPECT_EQ(AssimpFigure(info.Out, "Primitive Types:"), "triangles") << info.Out;
  for (const std::string& file : {level.Oldest(), level.Newest()}) {
    const TCommandResult refused = RunCommand({VELDARA_ASSIMP, "info", file});
    EXPECT_NE(refused.ExitStatus, 0) << file;
    EXPECT_NE((refused.Out + refused.Err).find("Supported versions: [MeshSerializer_v1.8]"), std::string::npos)
        << refused.Out << refused.Err;
  }
}
