// Optimized for drawing, the sub-meshes of one material become one, cut
// again where 16-bit indices end, and each is ordered for the vertex cache
// and for fetching. What is drawn must not change: the same triangles, each
// with its corners in the same turn (its winding), the same vertex values.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "../support/MeshModelBuilder.h"
#include "SceneDocumentGenerator.h"
#include "mesh/DrawOptimization.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "mesh/SubMeshCutting.h"
#include "scene/uXMLSceneReader.h"

namespace {
// A corner as a renderer sees it: position, normal and up to two sets of
// texture coordinates (zeros where it has fewer; the sets' number is the
// material's, and the material is compared too).
using TCorner = std::array<float, 10>;
// A triangle with its material, its corners turned so that the least comes
// first: the same triangle drawn from another starting corner compares
// equal, the same corners in the other turn (the other winding) do not.
using TTriangle = std::tuple<const QZOgreMaterialT*, std::array<TCorner, 3>>;

TCorner CornerOf(const QZOgreVertexT& v) {
  TCorner corner{v.X, v.Y, v.Z, v.Normal.X, v.Normal.Y, v.Normal.Z};
  EXPECT_LE(v.TextureCoordinates.size(), 2u);
  for (std::size_t s = 0; s < v.TextureCoordinates.size() && s < 2; ++s) {
    corner[6 + 2 * s] = v.TextureCoordinates[s].U;
    corner[7 + 2 * s] = v.TextureCoordinates[s].V;
  }
  return corner;
}

// Every triangle of the sub-meshes, sorted: equal lists draw the same picture.
std::vector<TTriangle> DrawnTriangles(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes) {
  std::vector<TTriangle> triangles;
  for (const auto& subMesh : subMeshes)
    for (const QZOgreFaceInfoT& face : subMesh->Faces) {
      std::array<TCorner, 3> corners;
      for (std::size_t k = 0; k < 3; ++k)
        corners[k] = CornerOf(subMesh->Vertices.at(static_cast<std::size_t>(face.Indices[k])));
      std::rotate(corners.begin(), std::min_element(corners.begin(), corners.end()), corners.end());
      triangles.emplace_back(subMesh->Material, corners);
    }
  std::sort(triangles.begin(), triangles.end());
  return triangles;
}

// A grid of side x side quads in the plane z = `z`, of one material, as one
// primitive's sub-mesh: (side + 1)^2 vertices, each with its own texture coordinates.
QZOgreSubMeshT& Grid(TModel& model, QZOgreMaterialT* material, int side, float z) {
  std::vector<TVertexValues> vertices;
  for (int y = 0; y <= side; ++y)
    for (int x = 0; x <= side; ++x) {
      const float fx = static_cast<float>(x), fy = static_cast<float>(y);
      vertices.push_back({fx, fy, z, 0, 0, 1, {{fx / static_cast<float>(side), fy / static_cast<float>(side)}}});
    }
  std::vector<std::array<int32_t, 3>> faces;
  const auto at = [side](int x, int y) { return static_cast<int32_t>(y * (side + 1) + x); };
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      faces.push_back({at(x, y), at(x + 1, y), at(x + 1, y + 1)});
      faces.push_back({at(x, y), at(x + 1, y + 1), at(x, y + 1)});
    }
  QZOgreSubMeshT& subMesh = model.SubMesh(material, vertices, faces);
  // As after the export's split by material: the sub-mesh names the material.
  for (QZOgreFaceInfoT& face : subMesh.Faces) face.Material = nullptr;
  return subMesh;
}

std::vector<std::unique_ptr<QZOgreSubMeshT>> Copy(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes) {
  std::vector<std::unique_ptr<QZOgreSubMeshT>> copy;
  for (const auto& subMesh : subMeshes) copy.push_back(std::make_unique<QZOgreSubMeshT>(*subMesh));
  return copy;
}

bool SameSubMeshes(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& a,
                   const std::vector<std::unique_ptr<QZOgreSubMeshT>>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i]->Material != b[i]->Material || a[i]->Faces.size() != b[i]->Faces.size() ||
        a[i]->Vertices.size() != b[i]->Vertices.size())
      return false;
    for (std::size_t f = 0; f < a[i]->Faces.size(); ++f)
      if (a[i]->Faces[f].Indices != b[i]->Faces[f].Indices) return false;
    for (std::size_t v = 0; v < a[i]->Vertices.size(); ++v)
      if (CornerOf(a[i]->Vertices[v]) != CornerOf(b[i]->Vertices[v])) return false;
  }
  return true;
}
}  // namespace

TEST(DrawOptimizationMerge, OneSubMeshPerMaterialInTheOrderTheMaterialsFirstAppear) {
  TModel model;
  QZOgreMaterialT& stone = model.Material("Stone", 1);
  QZOgreMaterialT& wood = model.Material("Wood", 1);
  Grid(model, &wood, 1, 0);
  Grid(model, &stone, 2, 0);
  Grid(model, &wood, 1, 5);
  Grid(model, &stone, 1, 7);
  const auto before = DrawnTriangles(model.SubMeshes);
  MergeByMaterial(model.SubMeshes);
  ASSERT_EQ(model.SubMeshes.size(), 2u);
  EXPECT_EQ(model.SubMeshes[0]->Material, &wood);
  EXPECT_EQ(model.SubMeshes[1]->Material, &stone);
  // Faces in their order: the first primitive's two, then the third's.
  EXPECT_EQ(model.SubMeshes[0]->Faces.size(), 4u);
  EXPECT_EQ(model.SubMeshes[0]->Vertices[static_cast<std::size_t>(model.SubMeshes[0]->Faces[2].Indices[0])].Z, 5.0f);
  EXPECT_EQ(model.SubMeshes[1]->Faces.size(), 10u);
  EXPECT_EQ(DrawnTriangles(model.SubMeshes), before);
  for (const auto& subMesh : model.SubMeshes)
    for (const QZOgreFaceInfoT& face : subMesh->Faces) EXPECT_EQ(face.Material, nullptr);
}

TEST(DrawOptimizationMerge, EqualVerticesOfOneMaterialAreWeldedAcrossPrimitivesOthersAreNot) {
  TModel model;
  QZOgreMaterialT& stone = model.Material("Stone", 1);
  QZOgreMaterialT& wood = model.Material("Wood", 1);
  // Two quads side by side share an edge of equal vertices; a third lies on
  // the same edge with other texture coordinates, a fourth with another material.
  model.SubMesh(&stone, {{0, 0, 0, 0, 0, 1, {{0, 0}}}, {1, 0, 0, 0, 0, 1, {{1, 0}}}, {1, 1, 0, 0, 0, 1, {{1, 1}}}},
                {{0, 1, 2}});
  model.SubMesh(&stone, {{1, 0, 0, 0, 0, 1, {{1, 0}}}, {2, 0, 0, 0, 0, 1, {{2, 0}}}, {1, 1, 0, 0, 0, 1, {{1, 1}}}},
                {{0, 1, 2}});
  model.SubMesh(&stone, {{1, 0, 0, 0, 0, 1, {{5, 5}}}, {1, 1, 0, 0, 0, 1, {{1, 1}}}, {0, 1, 0, 0, 0, 1, {{0, 1}}}},
                {{0, 1, 2}});
  model.SubMesh(&wood, {{1, 0, 0, 0, 0, 1, {{1, 0}}}, {2, 0, 0, 0, 0, 1, {{2, 0}}}, {1, 1, 0, 0, 0, 1, {{1, 1}}}},
                {{0, 1, 2}});
  const auto before = DrawnTriangles(model.SubMeshes);
  MergeByMaterial(model.SubMeshes);
  ASSERT_EQ(model.SubMeshes.size(), 2u);
  // 9 corners of stone: (1,0) and (1,1) met twice more with equal values; (1,0) with
  // other texture coordinates stays apart.
  EXPECT_EQ(model.SubMeshes[0]->Vertices.size(), 6u);
  EXPECT_EQ(model.SubMeshes[1]->Vertices.size(), 3u);
  EXPECT_EQ(DrawnTriangles(model.SubMeshes), before);
}

TEST(DrawOptimizationMerge, SubMeshesOfDistinctMaterialsStayAsTheyAre) {
  TModel model;
  Grid(model, &model.Material("Stone", 1), 2, 0);
  Grid(model, &model.Material("Wood", 1), 2, 0);
  const QZOgreSubMeshT* first = model.SubMeshes[0].get();
  MergeByMaterial(model.SubMeshes);
  EXPECT_EQ(model.SubMeshes.size(), 2u);
  EXPECT_EQ(model.SubMeshes[0].get(), first);

  std::vector<std::unique_ptr<QZOgreSubMeshT>> none;
  OptimizeForDrawing(none);
  EXPECT_TRUE(none.empty());
}

TEST(DrawOptimizationOrder, KeepsEveryTriangleAndItsWindingAndNumbersVerticesByFirstUse) {
  TModel model;
  QZOgreSubMeshT& grid = Grid(model, &model.Material("Stone", 1), 24, 0);
  // A cache-hostile order: every other row first, each row backwards.
  std::vector<QZOgreFaceInfoT> scrambled;
  for (int pass = 0; pass < 2; ++pass)
    for (std::size_t row = static_cast<std::size_t>(pass); row < 24; row += 2)
      for (std::size_t f = 48; f-- > 0;) scrambled.push_back(grid.Faces[row * 48 + f]);
  grid.Faces = scrambled;
  const auto before = DrawnTriangles(model.SubMeshes);
  const auto faceOrderBefore = grid.Faces;

  OrderForDrawing(grid);
  EXPECT_EQ(DrawnTriangles(model.SubMeshes), before);
  EXPECT_EQ(grid.Vertices.size(), 25u * 25u);
  bool reordered = false;
  for (std::size_t f = 0; f < grid.Faces.size(); ++f)
    reordered = reordered || grid.Faces[f].Indices != faceOrderBefore[f].Indices;
  EXPECT_TRUE(reordered);
  // Vertex fetch order: the k-th vertex met in the index list is vertex k.
  int32_t next = 0;
  bool firstUseOrder = true;
  for (const QZOgreFaceInfoT& face : grid.Faces)
    for (const int32_t index : face.Indices) {
      firstUseOrder = firstUseOrder && index <= next;
      if (index == next) ++next;
    }
  EXPECT_TRUE(firstUseOrder);
  EXPECT_EQ(next, 25 * 25);
}

TEST(DrawOptimizationOrder, DropsUnusedVerticesAndHandlesTheSmallestSubMeshes) {
  TModel model;
  QZOgreMaterialT& stone = model.Material("Stone", 0);
  QZOgreSubMeshT& one = model.SubMesh(&stone, {{9, 9, 9, 0, 0, 0, {}}, {0, 0, 0, 0, 0, 1, {}}, {1, 0, 0, 0, 0, 1, {}},
                                               {0, 1, 0, 0, 0, 1, {}}},
                                      {{3, 1, 2}});
  OrderForDrawing(one);
  ASSERT_EQ(one.Vertices.size(), 3u);
  EXPECT_EQ(one.Faces[0].Indices, (std::array<int32_t, 3>{0, 1, 2}));
  EXPECT_EQ(CornerOf(one.Vertices[0]), (TCorner{0, 1, 0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(CornerOf(one.Vertices[1]), (TCorner{0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));

  QZOgreSubMeshT& empty = model.SubMesh(&stone, {}, {});
  OrderForDrawing(empty);
  EXPECT_TRUE(empty.Vertices.empty());
  EXPECT_TRUE(empty.Faces.empty());
}

TEST(DrawOptimizationCut, AMergedSubMeshBeyondSixteenBitsIsCutIntoPiecesOfTheSameMaterial) {
  TModel model;
  QZOgreMaterialT& ground = model.Material("Ground", 1);
  QZOgreMaterialT& rock = model.Material("Rock", 1);
  // 160 primitives of 441 distinct vertices each: 70,560 of one material.
  for (int i = 0; i < 160; ++i) Grid(model, &ground, 20, static_cast<float>(i));
  Grid(model, &rock, 3, 0);
  const auto before = DrawnTriangles(model.SubMeshes);
  OptimizeForDrawing(model.SubMeshes);
  ASSERT_EQ(model.SubMeshes.size(), 3u);
  EXPECT_EQ(model.SubMeshes[0]->Material, &ground);
  EXPECT_EQ(model.SubMeshes[1]->Material, &ground);
  EXPECT_EQ(model.SubMeshes[2]->Material, &rock);
  // Vertices used on both sides of the cut are in both pieces.
  EXPECT_GE(model.SubMeshes[0]->Vertices.size() + model.SubMeshes[1]->Vertices.size(), 160u * 441u);
  for (const auto& subMesh : model.SubMeshes) EXPECT_LE(subMesh->Vertices.size(), kShortIndexVertexLimit);
  // The first piece is full: the next face would have brought up to three more.
  EXPECT_GE(model.SubMeshes[0]->Vertices.size(), kShortIndexVertexLimit - 2);
  EXPECT_EQ(DrawnTriangles(model.SubMeshes), before);
}

TEST(DrawOptimizationCut, ExactlySixteenBitsOfVerticesStayOneSubMesh) {
  TModel model;
  QZOgreMaterialT& ground = model.Material("Ground", 1);
  // 16,384 quads of 4 distinct vertices each: 65,536 vertices, the most
  // that 16-bit indices address; one quad more needs a second sub-mesh.
  for (int i = 0; i < 16384; ++i) Grid(model, &ground, 1, static_cast<float>(i));
  OptimizeForDrawing(model.SubMeshes);
  ASSERT_EQ(model.SubMeshes.size(), 1u);
  EXPECT_EQ(model.SubMeshes[0]->Vertices.size(), kShortIndexVertexLimit);
  Grid(model, &ground, 1, -1);
  OptimizeForDrawing(model.SubMeshes);
  EXPECT_EQ(model.SubMeshes.size(), 2u);
}

TEST(DrawOptimizationExport, AGeneratedLevelDrawsTheSameTrianglesWithOneSubMeshPerMaterial) {
  TSceneDocumentOptions options;
  options.Polygons = 8000;
  const std::unique_ptr<TScene> scene = TXMLSceneReader().ReadSceneText(GenerateSceneDocument(options));
  scene->CalculateNormals(ExportSmoothingAngle);

  TMeshExportOptions optimize;
  optimize.Target.OptimizeForDrawing = true;
  QZOgreMeshExporterT plain(*scene, {}), optimized(*scene, optimize);
  plain.Build();
  optimized.Build();
  // Many small primitives sharing a few materials: far more sub-meshes than materials.
  ASSERT_GT(plain.GetSubMeshes().size(), 4 * plain.GetMaterials().size());
  EXPECT_EQ(optimized.GetSubMeshes().size(), optimized.GetMaterials().size());
  // The materials are the exporter's own in both; compare them by name.
  const auto named = [](const QZOgreMeshExporterT& exporter) {
    std::vector<std::tuple<std::string, std::array<TCorner, 3>>> triangles;
    for (const auto& [material, corners] : DrawnTriangles(exporter.GetSubMeshes()))
      triangles.emplace_back(material->Name, corners);
    std::sort(triangles.begin(), triangles.end());
    return triangles;
  };
  EXPECT_EQ(named(optimized), named(plain));
  const TMeshBounds a = plain.CalculateBounds(), b = optimized.CalculateBounds();
  EXPECT_EQ(std::tie(a.MinX, a.MinY, a.MinZ, a.MaxX, a.MaxY, a.MaxZ, a.Radius),
            std::tie(b.MinX, b.MinY, b.MinZ, b.MaxX, b.MaxY, b.MaxZ, b.Radius));

  // The same input gives the same sub-meshes, vertex for vertex.
  QZOgreMeshExporterT again(*scene, optimize);
  again.Build();
  std::vector<std::unique_ptr<QZOgreSubMeshT>> first = Copy(optimized.GetSubMeshes());
  for (std::size_t i = 0; i < first.size(); ++i) first[i]->Material = again.GetSubMeshes().at(i)->Material;
  EXPECT_TRUE(SameSubMeshes(first, again.GetSubMeshes()));
}
