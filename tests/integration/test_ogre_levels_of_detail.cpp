// Levels of detail as OGRE reads them. For every mesh format OGRE's own
// loader (through mesh_check) must find the full mesh and N further levels,
// starting at the distances of the rule, each sub-mesh with the triangles
// that the rule gives: worked out here by calling meshoptimizer directly
// with the documented target, error and options, not through our code. The
// converter's XML must list the same faces, OGRE's serializer must write
// the bytes we write for each later format, and the XML form must carry the
// levels through OGRE's converter.

#include <gtest/gtest.h>

#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "OgreTools.h"
#include "SceneDocumentGenerator.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneReader.h"

namespace {
struct TLodExport {
  std::unique_ptr<TScene> Scene;
  std::unique_ptr<QZOgreMeshExporterT> Exporter;
};

// The scene exported as `file` (binary, or XML for ".xml") with `levels`
// levels of detail, normals and the script beside it, names quoted for OGRE.
TLodExport Export(const std::string& document, const std::string& file, TMeshFormat format, int levels,
                  bool optimize = false) {
  TLodExport result;
  result.Scene = TXMLSceneReader().ReadSceneText(document);
  result.Scene->CalculateNormals(66);
  TMeshExportOptions options;
  options.ExportNormals = true;
  options.Target.MaterialNameForm = TMaterialNameForm::Quoted;
  options.CopyTextures = false;
  options.Target.MeshFormat = format;
  options.Target.LodLevels = levels;
  options.Target.OptimizeForDrawing = optimize;
  result.Exporter = std::make_unique<QZOgreMeshExporterT>(*result.Scene, options);
  result.Exporter->Export(file);
  return result;
}

std::string Level() { return GenerateSceneDocument({.Polygons = 3000, .Seed = 5}); }

std::string Terrain() { return GenerateSceneDocument({.Polygons = 20000, .Shape = TSceneShape::Terrain}); }

using TFace = std::array<uint32_t, 3>;
using TFaces = std::vector<TFace>;

// The rule of LevelsOfDetail.h, spelt out again with meshoptimizer: level k
// of a sub-mesh of T triangles is meshopt_simplify of the full list towards
// ceil(T / 2^k) triangles within R / 100 * 2^(k-1), relative to the
// sub-mesh's scale, with its outline locked; a level that removes the
// sub-mesh, or keeps no fewer triangles than the level before, is the level
// before. Index [k - 1][s]: sub-mesh s at level k.
std::vector<std::vector<TFaces>> ExpectedLevels(const TSubMeshView& subMeshes,
                                                float radius, int levels) {
  std::vector<std::vector<TFaces>> expected(static_cast<std::size_t>(levels));
  for (const auto& subMesh : subMeshes) {
    std::vector<unsigned int> indices;
    for (const QZOgreFaceInfoT& face : subMesh->Faces)
      for (const int32_t index : face.Indices) indices.push_back(static_cast<unsigned int>(index));
    std::vector<float> positions;
    for (const QZOgreVertexT& vertex : subMesh->Vertices) {
      positions.push_back(vertex.X);
      positions.push_back(vertex.Y);
      positions.push_back(vertex.Z);
    }
    const std::size_t vertexCount = subMesh->Vertices.size();
    const float scale = meshopt_simplifyScale(positions.data(), vertexCount, 12);
    std::vector<unsigned int> before = indices;
    for (int k = 1; k <= levels; ++k) {
      const std::size_t triangles = subMesh->Faces.size();
      const std::size_t target = static_cast<std::size_t>(std::ceil(static_cast<double>(triangles) / std::pow(2.0, k)));
      const float error = static_cast<float>(radius / 100.0 * std::pow(2.0, k - 1));
      std::vector<unsigned int> kept(indices.size());
      kept.resize(meshopt_simplify(kept.data(), indices.data(), indices.size(), positions.data(), vertexCount, 12,
                                   target * 3, error / scale, meshopt_SimplifyLockBorder, nullptr));
      if (kept.empty() || kept.size() >= before.size()) kept = before;
      before = kept;
      TFaces faces;
      for (std::size_t i = 0; i < kept.size(); i += 3) faces.push_back({kept[i], kept[i + 1], kept[i + 2]});
      expected[static_cast<std::size_t>(k - 1)].push_back(std::move(faces));
    }
  }
  return expected;
}

// The distance at which level k starts: 10 R * 2^(k-1).
float ExpectedDistance(float radius, int level) { return static_cast<float>(10.0 * radius * std::pow(2.0, level - 1)); }

struct TFormatCase {
  TMeshFormat Format;
  std::string Version;
  std::string Strategy;  // as OGRE 1.12 names the strategy it reads
};
// 1.8 names its strategy "Distance", which OGRE 1.12 reads as the one around
// the bounding box.
const TFormatCase kFormats[] = {{TMeshFormat::V1_30, "1.30", "distance_sphere"},
                                {TMeshFormat::V1_8, "1.8", "distance_box"},
                                {TMeshFormat::V1_100, "1.100", "distance_sphere"}};

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// What OGRE loaded against the rule: N + 1 levels, the full mesh first, the
// distances of the rule and each sub-mesh's triangles at each level.
void ExpectTheRulesLevels(const TOgreMeshLoad& load, QZOgreMeshExporterT& exporter, int levels) {
  const TShortIndexSubMeshes binary = exporter.BinarySubMeshes();
  const TSubMeshView& subMeshes = binary.SubMeshes;
  const float radius = exporter.CalculateBounds().Radius;
  ASSERT_EQ(load.Levels.size(), static_cast<std::size_t>(levels + 1));
  std::vector<std::size_t> full;
  for (const auto& subMesh : subMeshes) full.push_back(subMesh->Faces.size());
  EXPECT_EQ(load.Levels[0].Triangles, full);
  EXPECT_EQ(load.Levels[0].Value, 0.0f);
  const auto expected = ExpectedLevels(subMeshes, radius, levels);
  for (int k = 1; k <= levels; ++k) {
    SCOPED_TRACE("level " + std::to_string(k));
    const TOgreLoadedLevel& level = load.Levels[static_cast<std::size_t>(k)];
    EXPECT_EQ(level.Value, ExpectedDistance(radius, k));
    std::vector<std::size_t> triangles;
    for (const TFaces& faces : expected[static_cast<std::size_t>(k - 1)]) triangles.push_back(faces.size());
    EXPECT_EQ(level.Triangles, triangles);
  }
}

std::size_t Sum(const std::vector<std::size_t>& counts) {
  std::size_t sum = 0;
  for (const std::size_t count : counts) sum += count;
  return sum;
}
}  // namespace

TEST(OgreReadsOurLevelsOfDetail, EveryFormatLoadsWithTheLevelsTheRuleGives) {
  const std::string document = Level();
  for (const TFormatCase& format : kFormats) {
    SCOPED_TRACE(format.Version);
    TTempDir dir;
    TLodExport exported = Export(document, dir.File("Level.mesh"), format.Format, 3);
    const TOgreMeshLoad load = LoadMeshInOgre(dir.File("Level.mesh"), {dir.File("Level.material")});
    // Nothing but the older formats' notice: OGRE takes every level as it is.
    for (const std::string& warning : load.Warnings)
      EXPECT_NE(warning.find("uses an old format"), std::string::npos) << warning;
    EXPECT_EQ(load.LodStrategy, format.Strategy);
    ExpectTheRulesLevels(load, *exported.Exporter, 3);
    // The level's terrain and walls simplify: each level draws fewer
    // triangles than the one before.
    for (std::size_t k = 1; k < load.Levels.size(); ++k)
      EXPECT_LT(Sum(load.Levels[k].Triangles), Sum(load.Levels[k - 1].Triangles)) << "level " << k;
  }
}

TEST(OgreReadsOurLevelsOfDetail, WithoutLevelsTheMeshHasOnlyItsFullLevel) {
  TTempDir dir;
  TLodExport exported = Export(Level(), dir.File("Level.mesh"), TMeshFormat::V1_100, 0);
  const TOgreMeshLoad load = LoadMeshInOgre(dir.File("Level.mesh"), {dir.File("Level.material")});
  ASSERT_EQ(load.Levels.size(), 1u);
  EXPECT_EQ(load.Levels[0].Triangles.size(), exported.Exporter->GetSubMeshes().size());
  EXPECT_FALSE(DumpBinaryMesh(dir.File("Level.mesh")).Mesh.LevelsOfDetail.has_value());
}

// Two terrain tiles of 100 x 100 quads, 20,000 triangles each, whose relief
// of a few hundred millimetres lies far within 1 % of their radius: every
// level reaches its target, half the triangles of the level before, and
// the tiles keep their outlines.
TEST(OgreReadsOurLevelsOfDetail, ATerrainReachesEveryLevelsTarget) {
  TTempDir dir;
  TLodExport exported = Export(Terrain(), dir.File("Terrain.mesh"), TMeshFormat::V1_100, 5);
  const TOgreMeshLoad load = LoadMeshInOgre(dir.File("Terrain.mesh"), {dir.File("Terrain.material")});
  ExpectTheRulesLevels(load, *exported.Exporter, 5);
  ASSERT_EQ(load.Levels[0].Triangles, (std::vector<std::size_t>{20000, 20000}));
  for (std::size_t k = 1; k < load.Levels.size(); ++k)
    for (const std::size_t triangles : load.Levels[k].Triangles) {
      EXPECT_LE(triangles, 20000u >> k) << "level " << k;
      // A simplifier overshoots by a few triangles at most, never by half.
      EXPECT_GT(triangles, (20000u >> k) * 3 / 4) << "level " << k;
    }
}

// The faces OGRE read, through its converter's XML, are the rule's faces,
// each with its corners in their order.
TEST(OgreReadsOurLevelsOfDetail, TheConvertersXmlListsTheRulesFaces) {
  TTempDir dir;
  TLodExport exported = Export(Level(), dir.File("Level.mesh"), TMeshFormat::V1_100, 2);
  const TOgreMeshDump dump = DumpBinaryMesh(dir.File("Level.mesh"));
  EXPECT_TRUE(dump.Warnings.empty()) << Joined(dump.Warnings);
  ASSERT_TRUE(dump.Mesh.LevelsOfDetail.has_value());
  const TOgreLevelsOfDetail& levels = *dump.Mesh.LevelsOfDetail;
  EXPECT_EQ(levels.Strategy, "distance_sphere");
  EXPECT_EQ(levels.LevelCount, 3u);
  const TShortIndexSubMeshes binary = exported.Exporter->BinarySubMeshes();
  const TSubMeshView& subMeshes = binary.SubMeshes;
  const float radius = exported.Exporter->CalculateBounds().Radius;
  const auto expected = ExpectedLevels(subMeshes, radius, 2);
  ASSERT_EQ(levels.Levels.size(), 2u);
  for (int k = 1; k <= 2; ++k) {
    SCOPED_TRACE("level " + std::to_string(k));
    const TOgreDetailLevel& level = levels.Levels[static_cast<std::size_t>(k - 1)];
    EXPECT_EQ(level.Value, ThroughOgreXml(ExpectedDistance(radius, k)));
    EXPECT_TRUE(level.Faces == expected[static_cast<std::size_t>(k - 1)]);
  }
}

// OGRE's serializer, handed our 1.30 file with its levels, writes our bytes
// for 1.8 and 1.100: the levels' layouts, values and lists are OGRE's own.
TEST(OgreWritesOurLevelsOfDetail, TheUpgraderTurnsTheOldestIntoOurFileOfEachLaterFormat) {
  TTempDir dir;
  const std::string document = Level();
  for (const TFormatCase& format : kFormats) {
    std::filesystem::create_directories(dir.File(format.Version));
    Export(document, dir.File(format.Version + "/Level.mesh"), format.Format, 3);
  }
  const std::string oldest = dir.File("1.30/Level.mesh");
  const TOgreUpgrade older = UpgradeMesh(oldest, {"-e", "-r", "-V", "1.8"});
  EXPECT_TRUE(older.Bytes == TTempDir::Read(dir.File("1.8/Level.mesh"))) << "1.8 differs from OGRE's";
  const TOgreUpgrade newest = UpgradeMesh(oldest, {"-e", "-r"});
  EXPECT_TRUE(newest.Bytes == TTempDir::Read(dir.File("1.100/Level.mesh"))) << "1.100 differs from OGRE's";
  // And the newest, rewritten as it was read, comes out as it went in.
  const TOgreUpgrade rewritten = UpgradeMesh(dir.File("1.100/Level.mesh"), {"-e", "-r"});
  EXPECT_TRUE(rewritten.Warnings.empty()) << Joined(rewritten.Warnings);
  EXPECT_TRUE(rewritten.Bytes == TTempDir::Read(dir.File("1.100/Level.mesh")));
}

// Optimised for drawing, each level's triangles are ordered for the vertex
// cache: the same triangles as the rule's, in another order, over the
// merged sub-meshes.
TEST(OgreReadsOurLevelsOfDetail, AnOptimisedMeshHasTheRulesTrianglesInEachLevel) {
  TTempDir dir;
  TLodExport exported = Export(Level(), dir.File("Level.mesh"), TMeshFormat::V1_100, 3, true);
  const TOgreMeshLoad load = LoadMeshInOgre(dir.File("Level.mesh"), {dir.File("Level.material")});
  EXPECT_TRUE(load.Warnings.empty()) << Joined(load.Warnings);
  ExpectTheRulesLevels(load, *exported.Exporter, 3);
  const TOgreMeshDump dump = DumpBinaryMesh(dir.File("Level.mesh"));
  ASSERT_TRUE(dump.Mesh.LevelsOfDetail.has_value());
  const TShortIndexSubMeshes binary = exported.Exporter->BinarySubMeshes();
  const TSubMeshView& subMeshes = binary.SubMeshes;
  const auto expected = ExpectedLevels(subMeshes, exported.Exporter->CalculateBounds().Radius, 3);
  bool reordered = false;
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t s = 0; s < subMeshes.size(); ++s) {
      TFaces ours = dump.Mesh.LevelsOfDetail->Levels[k].Faces[s], rule = expected[k][s];
      reordered = reordered || ours != rule;
      // Each triangle with its least corner first keeps its winding; the list sorted forgets the order.
      for (TFaces* faces : {&ours, &rule}) {
        for (TFace& face : *faces) std::rotate(face.begin(), std::min_element(face.begin(), face.end()), face.end());
        std::sort(faces->begin(), faces->end());
      }
      EXPECT_TRUE(ours == rule) << "level " << k + 1 << ", sub-mesh " << s;
    }
  EXPECT_TRUE(reordered) << "the cache order changes some level's order";
}

// The XML form carries the levels of its own sub-meshes; OGRE's converter
// reads them into a binary mesh and writes them back unchanged.
TEST(OgreReadsOurLevelsOfDetail, TheXmlFormsLevelsGoThroughTheConverter) {
  TTempDir dir;
  // Optimised, so that no two sub-meshes name one material, which the converter refuses.
  TLodExport exported = Export(Level(), dir.File("Level.mesh.xml"), TMeshFormat::V1_30, 2, true);
  const TOgreMesh ours = ParseOgreMeshXml(TTempDir::Read(dir.File("Level.mesh.xml")));
  ASSERT_TRUE(ours.LevelsOfDetail.has_value());
  EXPECT_EQ(ours.LevelsOfDetail->Strategy, "distance_sphere");
  EXPECT_EQ(ours.LevelsOfDetail->LevelCount, 3u);
  const float radius = exported.Exporter->CalculateBounds().Radius;
  for (int k = 1; k <= 2; ++k)
    EXPECT_EQ(ours.LevelsOfDetail->Levels[static_cast<std::size_t>(k - 1)].Value,
              ThroughOgreXml(ExpectedDistance(radius, k)));
  const TOgreMeshDump dump = RoundTripXmlMesh(dir.File("Level.mesh.xml"));
  EXPECT_TRUE(dump.Warnings.empty()) << Joined(dump.Warnings);
  ASSERT_TRUE(dump.Mesh.LevelsOfDetail.has_value());
  EXPECT_EQ(dump.Mesh.LevelsOfDetail->Strategy, "distance_sphere");
  ASSERT_EQ(dump.Mesh.LevelsOfDetail->Levels.size(), 2u);
  for (std::size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(dump.Mesh.LevelsOfDetail->Levels[k].Value, ours.LevelsOfDetail->Levels[k].Value);
    EXPECT_TRUE(dump.Mesh.LevelsOfDetail->Levels[k].Faces == ours.LevelsOfDetail->Levels[k].Faces) << "level " << k + 1;
  }
}

#ifndef VELDARA_ASSIMP
#define VELDARA_ASSIMP "assimp"
#endif

// One primitive of 260 x 260 quads sharing their corners: 68,121 vertices,
// more than 16-bit indices address, so that the binary mesh holds it as two
// sub-meshes and the XML form as one.
std::string LargeGridDocument() {
  constexpr int side = 260;
  std::string vertices, polygons;
  for (int z = 0; z <= side; ++z)
    for (int x = 0; x <= side; ++x)
      vertices += "<vertex id=\"v" + std::to_string(z * (side + 1) + x) + "\" x=\"" + std::to_string(x * 10) +
                  "\" y=\"" + std::to_string(static_cast<int>(20 * std::sin(x * 0.1) * std::cos(z * 0.07))) +
                  "\" z=\"" + std::to_string(z * 10) + "\" />";
  const auto corner = [](int x, int z) {
    return "<vertex vid=\"v" + std::to_string(z * (side + 1) + x) + "\" u0=\"" + std::to_string(x) + "\" v0=\"" +
           std::to_string(z) + "\" />";
  };
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x)
      polygons += "<poly mid=\"m\">" + corner(x, z) + corner(x + 1, z) + corner(x + 1, z + 1) + corner(x, z + 1) + "</poly>";
  return "<scene><materials><category name=\"C\"><material id=\"m\" name=\"Ground\" used=\"true\"><layer "
         "type=\"texture\" blend=\"replace\"><texture file=\"ground.png\" /></layer></material></category>"
         "</materials><primitives><primitive id=\"p\" name=\"Ground\" type=\"userdefined\" visible=\"true\" "
         "snap=\"none\" autoUV=\"false\"><vertices>" + vertices + "</vertices><polygons>" + polygons +
         "</polygons></primitive></primitives></scene>";
}

// The binary mesh's levels are made for the sub-meshes it holds, the pieces
// of a sub-mesh cut for 16-bit indices; the XML form's for its whole one.
TEST(OgreReadsOurLevelsOfDetail, EachFormGetsTheLevelsOfTheSubMeshesItHolds) {
  TTempDir dir;
  const std::string document = LargeGridDocument();
  TLodExport binary = Export(document, dir.File("Ground.mesh"), TMeshFormat::V1_100, 2);
  ASSERT_EQ(binary.Exporter->BinarySubMeshes().SubMeshes.size(), 2u) << "cut for 16-bit indices";
  const TOgreMeshLoad load = LoadMeshInOgre(dir.File("Ground.mesh"));
  ExpectTheRulesLevels(load, *binary.Exporter, 2);
  for (const TOgreLoadedLevel& level : load.Levels) EXPECT_EQ(level.Triangles.size(), 2u);

  TLodExport xml = Export(document, dir.File("Ground.mesh.xml"), TMeshFormat::V1_100, 2);
  const TOgreMesh ours = ParseOgreMeshXml(TTempDir::Read(dir.File("Ground.mesh.xml")));
  ASSERT_EQ(ours.SubMeshes.size(), 1u);
  ASSERT_TRUE(ours.LevelsOfDetail.has_value());
  const auto& whole = xml.Exporter->GetSubMeshes();
  const auto expected = ExpectedLevels(ViewOf(whole), xml.Exporter->CalculateBounds().Radius, 2);
  for (std::size_t k = 0; k < 2; ++k) {
    ASSERT_EQ(ours.LevelsOfDetail->Levels[k].Faces.size(), 1u);
    EXPECT_TRUE(ours.LevelsOfDetail->Levels[k].Faces == expected[k]) << "level " << k + 1;
    EXPECT_LT(ours.LevelsOfDetail->Levels[k].Faces[0].size(), 135200u >> k) << "level " << k + 1;
  }
}

// assimp, which reads the 1.8 format only, still reads it with levels: the
// full mesh, every sub-mesh and triangle.
TEST(AssimpReadsOurLevelsOfDetail, TheOlderFormatWithLevelsReadsAsTheFullMesh) {
  TTempDir dir;
  TLodExport exported = Export(Level(), dir.File("Level.mesh"), TMeshFormat::V1_8, 3);
  const TCommandResult info = RunCommand({VELDARA_ASSIMP, "info", dir.File("Level.mesh"), "--raw"});
  ASSERT_EQ(info.ExitStatus, 0) << info.Out << info.Err;
  const TShortIndexSubMeshes binary = exported.Exporter->BinarySubMeshes();
  const TSubMeshView& subMeshes = binary.SubMeshes;
  std::size_t faces = 0;
  for (const auto& subMesh : subMeshes) faces += subMesh->Faces.size();
  // "Meshes:" and "Faces:" lines, the figure after the blanks.
  const auto figure = [&](const std::string& label) {
    const std::size_t at = info.Out.find("\n" + label);
    if (at == std::string::npos) return std::string("(no ") + label + ")";
    const std::size_t start = info.Out.find_first_not_of(' ', at + 1 + label.size());
    return info.Out.substr(start, info.Out.find('\n', start) - start);
  };
  EXPECT_EQ(figure("Meshes:"), std::to_string(subMeshes.size())) << info.Out;
  EXPECT_EQ(figure("Faces:"), std::to_string(faces)) << info.Out;
}
