// Levels of detail: the rule's numbers (distances, errors, targets), and what
// the simplification keeps on small hand-made sub-meshes: a flat grid reaches
// every target without a hole, a turned triangle or a moved outline; rough
// ground keeps most of its triangles where the error allows few collapses; a
// quad and a point keep theirs, and a shape that would vanish its last level.

#include <gtest/gtest.h>

#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../support/ErrorOf.h"
#include "../support/MeshModelBuilder.h"
#include "mesh/LevelsOfDetail.h"

namespace {
// A grid of side x side quads of `cell` units, its heights from `height`
// (x, y in cells), two triangles a quad turned counter-clockwise seen from
// +z, one vertex per corner.
template <typename Height>
QZOgreSubMeshT& Grid(TModel& model, int side, float cell, Height height) {
  std::vector<TVertexValues> vertices;
  for (int y = 0; y <= side; ++y)
    for (int x = 0; x <= side; ++x)
      vertices.push_back({static_cast<float>(x) * cell, static_cast<float>(y) * cell, height(x, y), 0, 0, 1, {}});
  std::vector<std::array<int32_t, 3>> faces;
  const auto at = [side](int x, int y) { return static_cast<int32_t>(y * (side + 1) + x); };
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      faces.push_back({at(x, y), at(x + 1, y), at(x + 1, y + 1)});
      faces.push_back({at(x, y), at(x + 1, y + 1), at(x, y + 1)});
    }
  return model.SubMesh(nullptr, vertices, faces);
}

QZOgreSubMeshT& FlatGrid(TModel& model, int side) {
  return Grid(model, side, 10, [](int, int) { return 0.0f; });
}

std::vector<uint32_t> FullList(const QZOgreSubMeshT& subMesh) {
  std::vector<uint32_t> indices;
  for (const QZOgreFaceInfoT& face : subMesh.Faces)
    for (const int32_t index : face.Indices) indices.push_back(static_cast<uint32_t>(index));
  return indices;
}

// Twice the signed area of a triangle seen from +z: positive when its
// corners turn counter-clockwise.
double TurnedArea(const QZOgreSubMeshT& subMesh, const uint32_t* corners) {
  const QZOgreVertexT& a = subMesh.Vertices[corners[0]];
  const QZOgreVertexT& b = subMesh.Vertices[corners[1]];
  const QZOgreVertexT& c = subMesh.Vertices[corners[2]];
  return (double(b.X) - a.X) * (double(c.Y) - a.Y) - (double(b.Y) - a.Y) * (double(c.X) - a.X);
}

// The vertices on the grid's outline.
std::set<uint32_t> Outline(int side) {
  std::set<uint32_t> outline;
  for (int y = 0; y <= side; ++y)
    for (int x = 0; x <= side; ++x)
      if (x == 0 || y == 0 || x == side || y == side) outline.insert(static_cast<uint32_t>(y * (side + 1) + x));
  return outline;
}
}  // namespace

TEST(LevelsOfDetailRule, DistancesStartAtTenRadiiAndDoubleWithEveryLevel) {
  for (int k = 1; k <= kMostDetailLevels; ++k) {
    EXPECT_EQ(DetailLevelDistance(100, k), 1000.0f * static_cast<float>(1 << (k - 1))) << "level " << k;
    EXPECT_EQ(DetailLevelError(100, k), static_cast<float>(1 << (k - 1))) << "level " << k;
  }
  // Each distance is a thousand times the level's error: about a pixel.
  EXPECT_FLOAT_EQ(DetailLevelDistance(1039.2306f, 3), 1000 * DetailLevelError(1039.2306f, 3));
  // A mesh with no vertex off its origin counts its radius as 1.
  EXPECT_EQ(DetailLevelDistance(0, 1), 10.0f);
  EXPECT_EQ(DetailLevelError(0, 2), 0.02f);
}

TEST(LevelsOfDetailRule, DistancesStopWhereTheirSquareWouldNoLongerBeAFloat) {
  EXPECT_EQ(DetailLevelDistance(1e17f, 1), 1e18f);
  EXPECT_EQ(DetailLevelDistance(1e18f, 2), 1.8e19f);
  EXPECT_EQ(DetailLevelDistance(FLT_MAX, kMostDetailLevels), 1.8e19f);
  const float longest = DetailLevelDistance(FLT_MAX, 1);
  EXPECT_TRUE(std::isfinite(longest * longest)) << "the value the 1.30 format stores";
}

TEST(LevelsOfDetailRule, EachLevelAimsAtHalfTheTrianglesOfTheOneBeforeRoundedUp) {
  EXPECT_EQ(DetailLevelTarget(20000, 1), 10000u);
  EXPECT_EQ(DetailLevelTarget(20000, 5), 625u);
  EXPECT_EQ(DetailLevelTarget(12, 3), 2u) << "1.5 rounded up";
  EXPECT_EQ(DetailLevelTarget(3, 1), 2u);
  EXPECT_EQ(DetailLevelTarget(1, 8), 1u) << "never below one triangle";
  EXPECT_EQ(DetailLevelTarget(0, 1), 0u);
}

TEST(LevelsOfDetailRule, OnlyZeroToEightLevelsAreMade) {
  TModel model;
  FlatGrid(model, 2);
  EXPECT_TRUE(BuildDetailLevels(model.SubMeshes, 100, 0, false).empty());
  EXPECT_EQ(BuildDetailLevels(model.SubMeshes, 100, kMostDetailLevels, false).size(), 8u);
  for (const int levels : {-1, 9, 100})
    EXPECT_EQ(ErrorOf([&] { BuildDetailLevels(model.SubMeshes, 100, levels, false); }),
              "The levels of detail must be from 0 to 8.")
        << levels;
}

// A flat grid loses nothing by any collapse inside it, so each level
// reaches its target; what it keeps covers the grid exactly, no triangle
// turned over, and every vertex of the outline is still used (between three
// of them in a row, which stay where they are, a triangle may be a sliver
// of no area).
TEST(LevelsOfDetailSimplification, AFlatGridReachesEveryTargetAndKeepsItsOutlineAndFacing) {
  TModel model;
  const QZOgreSubMeshT& grid = FlatGrid(model, 16);  // 512 triangles, 160 x 160 units
  const std::vector<TDetailLevel> levels = BuildDetailLevels(model.SubMeshes, 300, 3, false);
  ASSERT_EQ(levels.size(), 3u);
  const std::set<uint32_t> outline = Outline(16);
  std::size_t before = 512;
  for (std::size_t k = 0; k < levels.size(); ++k) {
    SCOPED_TRACE("level " + std::to_string(k + 1));
    ASSERT_EQ(levels[k].Indices.size(), 1u);
    const std::vector<uint32_t>& indices = levels[k].Indices[0];
    ASSERT_EQ(indices.size() % 3, 0u);
    const std::size_t triangles = indices.size() / 3;
    if (k < 2) {
      EXPECT_LE(triangles, 512u >> (k + 1)) << "the target";
    }
    EXPECT_LT(triangles, before);
    before = triangles;
    double area = 0;
    for (std::size_t i = 0; i < indices.size(); i += 3) {
      const double turned = TurnedArea(grid, &indices[i]);
      EXPECT_GE(turned, 0) << "triangle " << i / 3 << " turned over";
      area += turned / 2;
    }
    EXPECT_NEAR(area, 160.0 * 160.0, 1e-6) << "no hole, no overlap";
    std::set<uint32_t> used(indices.begin(), indices.end());
    for (const uint32_t vertex : outline) EXPECT_EQ(used.count(vertex), 1u) << "outline vertex " << vertex;
  }
}

// Rough ground: heights of 0 to 10 units at random over cells of 10. Within
// 1 % of a radius of 100 (1 unit) few collapses pass, and the first level
// stays far above its target; within 1 % of 3000 (30 units) it reaches it.
TEST(LevelsOfDetailSimplification, TheErrorDecidesHowFarRoughGroundGoes) {
  std::vector<float> heights;
  uint32_t seed = 12345;
  for (int i = 0; i < 17 * 17; ++i) {
    seed = seed * 1664525u + 1013904223u;  // a linear congruential sequence
    heights.push_back(static_cast<float>((seed >> 8) % 1000) / 100);
  }
  TModel model;
  Grid(model, 16, 10, [&](int x, int y) { return heights[static_cast<std::size_t>(y * 17 + x)]; });
  const std::size_t near = BuildDetailLevels(model.SubMeshes, 100, 1, false)[0].Indices[0].size() / 3;
  const std::size_t far = BuildDetailLevels(model.SubMeshes, 3000, 1, false)[0].Indices[0].size() / 3;
  EXPECT_GT(near, 400u) << "of 512";
  EXPECT_LT(near, 512u) << "a few collapses pass";
  EXPECT_LE(far, 256u);
}

TEST(LevelsOfDetailSimplification, AQuadKeepsItsTwoTrianglesAtEveryLevel) {
  TModel model;
  const QZOgreSubMeshT& quad = FlatGrid(model, 1);
  for (const TDetailLevel& level : BuildDetailLevels(model.SubMeshes, 1000, kMostDetailLevels, false))
    EXPECT_EQ(level.Indices[0], FullList(quad));
}

TEST(LevelsOfDetailSimplification, ASubMeshWhoseVerticesLieAtOnePointKeepsItsTriangles) {
  TModel model;
  const QZOgreSubMeshT& point = model.SubMesh(
      nullptr, {{5, 5, 5, 0, 0, 1, {}}, {5, 5, 5, 0, 1, 0, {}}, {5, 5, 5, 1, 0, 0, {}}, {5, 5, 5, 0, 0, -1, {}}},
      {{0, 1, 2}, {0, 2, 3}});
  for (const TDetailLevel& level : BuildDetailLevels(model.SubMeshes, 10, 3, false))
    EXPECT_EQ(level.Indices[0], FullList(point));
}

// An octahedron two units across in a mesh of radius 1000: far within the
// error, it goes down to the target of each level, 4 triangles, then 2;
// at the third level's target of one triangle the simplifier would
// collapse it to nothing, and that level keeps the second's 2 instead.
TEST(LevelsOfDetailSimplification, ASubMeshThatWouldVanishKeepsTheLevelBefore) {
  TModel model;
  const QZOgreSubMeshT& octahedron = model.SubMesh(
      nullptr,
      {{1, 0, 0, 1, 0, 0, {}}, {-1, 0, 0, -1, 0, 0, {}}, {0, 1, 0, 0, 1, 0, {}}, {0, -1, 0, 0, -1, 0, {}},
       {0, 0, 1, 0, 0, 1, {}}, {0, 0, -1, 0, 0, -1, {}}},
      {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}});
  std::vector<float> positions;
  for (const QZOgreVertexT& vertex : octahedron.Vertices) positions.insert(positions.end(), {vertex.X, vertex.Y, vertex.Z});
  ASSERT_TRUE(SimplifyTriangles(FullList(octahedron), positions, 1, DetailLevelError(1000, 3)).empty())
      << "the simplifier alone removes it";
  const std::vector<TDetailLevel> levels = BuildDetailLevels(model.SubMeshes, 1000, 4, false);
  EXPECT_EQ(levels[0].Indices[0].size(), 4u * 3);
  EXPECT_EQ(levels[1].Indices[0].size(), 2u * 3);
  EXPECT_EQ(levels[2].Indices[0], levels[1].Indices[0]);
  EXPECT_EQ(levels[3].Indices[0], levels[1].Indices[0]);
}

TEST(LevelsOfDetailSimplification, EveryLevelHasAListPerSubMeshAndStartsFartherThanTheOneBefore) {
  TModel model;
  FlatGrid(model, 8);
  FlatGrid(model, 1);
  FlatGrid(model, 12);
  const std::vector<TDetailLevel> levels = BuildDetailLevels(model.SubMeshes, 250, 4, false);
  ASSERT_EQ(levels.size(), 4u);
  for (std::size_t k = 0; k < levels.size(); ++k) {
    EXPECT_EQ(levels[k].Indices.size(), 3u);
    EXPECT_EQ(levels[k].Distance, DetailLevelDistance(250, static_cast<int>(k + 1)));
    if (k > 0) {
      EXPECT_GT(levels[k].Distance, levels[k - 1].Distance);
      for (std::size_t s = 0; s < 3; ++s) EXPECT_LE(levels[k].Indices[s].size(), levels[k - 1].Indices[s].size());
    }
  }
  // The same input gives the same levels.
  const std::vector<TDetailLevel> again = BuildDetailLevels(model.SubMeshes, 250, 4, false);
  for (std::size_t k = 0; k < levels.size(); ++k) EXPECT_EQ(again[k].Indices, levels[k].Indices);
}

// Ordered for drawing, a level holds the same triangles, each with its
// corners in the same turn, in an order that the vertex cache misses no
// more often.
TEST(LevelsOfDetailSimplification, OrderedForDrawingALevelHoldsTheSameTrianglesInACacheOrder) {
  TModel model;
  // Gentle waves, so that the levels are simplified but not flat.
  const QZOgreSubMeshT& waves = Grid(model, 40, 10, [](int x, int y) {
    return static_cast<float>(3 * std::sin(x * 0.4) * std::cos(y * 0.3));
  });
  const std::vector<TDetailLevel> plain = BuildDetailLevels(model.SubMeshes, 600, 2, false);
  const std::vector<TDetailLevel> ordered = BuildDetailLevels(model.SubMeshes, 600, 2, true);
  const auto turned = [](const std::vector<uint32_t>& indices) {
    std::multiset<std::array<uint32_t, 3>> triangles;
    for (std::size_t i = 0; i < indices.size(); i += 3) {
      std::array<uint32_t, 3> triangle = {indices[i], indices[i + 1], indices[i + 2]};
      std::rotate(triangle.begin(), std::min_element(triangle.begin(), triangle.end()), triangle.end());
      triangles.insert(triangle);
    }
    return triangles;
  };
  for (std::size_t k = 0; k < 2; ++k) {
    SCOPED_TRACE("level " + std::to_string(k + 1));
    const std::vector<uint32_t>& a = plain[k].Indices[0];
    const std::vector<uint32_t>& b = ordered[k].Indices[0];
    ASSERT_LT(a.size(), waves.Faces.size() * 3) << "simplified";
    EXPECT_EQ(turned(a), turned(b));
    EXPECT_NE(a, b) << "reordered";
    const std::size_t vertices = waves.Vertices.size();
    EXPECT_LE(meshopt_analyzeVertexCache(b.data(), b.size(), vertices, 16, 0, 0).acmr,
              meshopt_analyzeVertexCache(a.data(), a.size(), vertices, 16, 0, 0).acmr);
  }
}
