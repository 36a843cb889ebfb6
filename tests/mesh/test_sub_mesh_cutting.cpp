// Sub-meshes beyond what 16-bit indices address are cut into pieces of the
// same material: every triangle survives in its order and winding, each piece
// holds only the vertices its faces use, and smaller sub-meshes stay as they are.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "../support/ErrorOf.h"
#include "../support/TempDir.h"
#include "mesh/QZOgreBinaryMeshWriter.h"
#include "mesh/SubMeshCutting.h"

namespace {
using TTriangle = std::array<float, 9>;

// A terrain of side x side quads of one material: (side + 1)^2 vertices.
std::unique_ptr<QZOgreSubMeshT> Terrain(int side, QZOgreMaterialT* material) {
  auto terrain = std::make_unique<QZOgreSubMeshT>();
  terrain->Material = material;
  for (int z = 0; z <= side; ++z)
    for (int x = 0; x <= side; ++x)
      terrain->AddVertex(QZOgreVertexT(static_cast<float>(x), static_cast<float>((x * z) % 7), static_cast<float>(z)));
  const auto at = [side](int x, int z) { return static_cast<int32_t>(z * (side + 1) + x); };
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) {
      terrain->AddFace(at(x, z), at(x + 1, z), at(x + 1, z + 1), nullptr);
      terrain->AddFace(at(x, z), at(x + 1, z + 1), at(x, z + 1), nullptr);
    }
  return terrain;
}

// Every triangle as its corners' positions, in order: what a renderer draws.
std::vector<TTriangle> Triangles(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes) {
  std::vector<TTriangle> triangles;
  for (const auto& subMesh : subMeshes)
    for (const QZOgreFaceInfoT& face : subMesh->Faces) {
      TTriangle triangle;
      for (std::size_t k = 0; k < 3; ++k) {
        const QZOgreVertexT& v = subMesh->Vertices[static_cast<std::size_t>(face.Indices[k])];
        triangle[k * 3] = v.X;
        triangle[k * 3 + 1] = v.Y;
        triangle[k * 3 + 2] = v.Z;
      }
      triangles.push_back(triangle);
    }
  return triangles;
}
}  // namespace

TEST(SubMeshCutting, ATerrainBeyondSixteenBitsBecomesPiecesThatDrawTheSameTriangles) {
  QZOgreMaterialT ground, small;
  std::vector<std::unique_ptr<QZOgreSubMeshT>> subMeshes;
  subMeshes.push_back(Terrain(2, &small));
  subMeshes.push_back(Terrain(300, &ground));  // 90,601 vertices
  subMeshes.push_back(Terrain(3, &small));
  const QZOgreSubMeshT* before = subMeshes.front().get();
  const std::vector<TTriangle> whole = Triangles(subMeshes);

  CutForShortIndices(subMeshes);
  ASSERT_EQ(subMeshes.size(), 4u);
  EXPECT_EQ(subMeshes.front().get(), before) << "a small sub-mesh is kept, not copied";
  EXPECT_EQ(Triangles(subMeshes), whole);
  for (std::size_t i = 1; i <= 2; ++i) {
    const QZOgreSubMeshT& piece = *subMeshes[i];
    EXPECT_EQ(piece.Material, &ground);
    EXPECT_LE(piece.Vertices.size(), kShortIndexVertexLimit);
    // Only the vertices its faces use, each once.
    std::vector<bool> usedVertex(piece.Vertices.size(), false);
    for (const QZOgreFaceInfoT& face : piece.Faces)
      for (const int32_t index : face.Indices) usedVertex[static_cast<std::size_t>(index)] = true;
    EXPECT_TRUE(std::all_of(usedVertex.begin(), usedVertex.end(), [](bool used) { return used; }));
  }
  // The first piece is as full as whole faces allow.
  EXPECT_GT(subMeshes[1]->Vertices.size(), kShortIndexVertexLimit - 3);
  EXPECT_EQ(subMeshes[1]->Faces.size() + subMeshes[2]->Faces.size(), 180000u);
}

TEST(SubMeshCutting, ExactlySixteenBitsIsOnePieceAndOneMoreIsTwo) {
  QZOgreMaterialT material;
  // A strip of triangles over 65,536 and then 65,537 distinct vertices.
  for (const std::size_t count : {kShortIndexVertexLimit, kShortIndexVertexLimit + 1}) {
    std::vector<std::unique_ptr<QZOgreSubMeshT>> subMeshes;
    auto strip = std::make_unique<QZOgreSubMeshT>();
    strip->Material = &material;
    for (std::size_t i = 0; i < count; ++i) strip->AddVertex(QZOgreVertexT(static_cast<float>(i), 0, 0));
    for (int32_t i = 0; i + 2 < static_cast<int32_t>(count); ++i) strip->AddFace(i, i + 1, i + 2, nullptr);
    subMeshes.push_back(std::move(strip));
    const std::vector<TTriangle> whole = Triangles(subMeshes);
    CutForShortIndices(subMeshes);
    EXPECT_EQ(subMeshes.size(), count == kShortIndexVertexLimit ? 1u : 2u);
    EXPECT_EQ(Triangles(subMeshes), whole);
    // The triangle at the cut uses vertices of both sides: the second piece
    // repeats them.
    if (subMeshes.size() == 2) {
      EXPECT_EQ(subMeshes[1]->Vertices.size(), 3u);
    }
  }
}

TEST(SubMeshCutting, TheBinaryWriterStillGuardsAnIndexBeyondSixteenBits) {
  QZOgreMaterialT material;
  std::vector<std::unique_ptr<QZOgreSubMeshT>> subMeshes;
  subMeshes.push_back(Terrain(300, &material));
  TTempDir dir;
  EXPECT_EQ(ErrorOf([&] { WriteBinaryMesh(dir.File("big.mesh"), subMeshes, TMeshBounds{}, true, true); }),
            "Submeshes containing > 65536 vertices not supported.");
  CutForShortIndices(subMeshes);
  EXPECT_EQ(ErrorOf([&] { WriteBinaryMesh(dir.File("big.mesh"), subMeshes, TMeshBounds{}, true, true); }),
            "no error");
}

// The exporter asks for the binary mesh's sub-meshes without cutting its own:
// the XML form, written from the same model before or after, keeps them whole.
TEST(SubMeshCutting, TheViewForTheBinaryMeshLeavesTheModelWholeAndCutsAsTheModelWouldBeCut) {
  QZOgreMaterialT ground, small;
  std::vector<std::unique_ptr<QZOgreSubMeshT>> model;
  model.push_back(Terrain(2, &small));
  model.push_back(Terrain(300, &ground));
  model.push_back(Terrain(3, &small));
  const std::vector<TTriangle> whole = Triangles(model);
  const TShortIndexSubMeshes binary = ShortIndexSubMeshes(model);
  ASSERT_EQ(model.size(), 3u);
  EXPECT_EQ(model[1]->Vertices.size(), 301u * 301u) << "the model stays whole";
  EXPECT_EQ(binary.SubMeshes.front(), model.front().get()) << "small sub-meshes are viewed, not copied";
  EXPECT_EQ(binary.SubMeshes.back(), model.back().get());

  std::vector<std::unique_ptr<QZOgreSubMeshT>> cut;
  for (const auto& subMesh : model) cut.push_back(std::make_unique<QZOgreSubMeshT>(*subMesh));
  CutForShortIndices(cut);
  ASSERT_EQ(binary.SubMeshes.size(), cut.size());
  for (std::size_t i = 0; i < cut.size(); ++i) {
    EXPECT_EQ(binary.SubMeshes[i]->Material, cut[i]->Material);
    EXPECT_EQ(binary.SubMeshes[i]->Vertices.size(), cut[i]->Vertices.size());
    ASSERT_EQ(binary.SubMeshes[i]->Faces.size(), cut[i]->Faces.size());
    for (std::size_t f = 0; f < cut[i]->Faces.size(); ++f)
      EXPECT_EQ(binary.SubMeshes[i]->Faces[f].Indices, cut[i]->Faces[f].Indices);
  }
  EXPECT_EQ(Triangles(cut), whole);
  EXPECT_EQ(Triangles(model), whole);
}
