#include "mesh/LevelsOfDetail.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cmath>

#include "base/uException.h"

namespace {
// The largest distance whose square (rounded to float) is still finite:
// just below sqrt(FLT_MAX) = 1.8446744e19.
constexpr double kLongestDistance = 1.8e19;

// R, or 1 for a mesh with no vertex off its origin, where R is 0.
double RadiusOrOne(float radius) { return radius > 0 ? static_cast<double>(radius) : 1.0; }

constexpr std::size_t kPositionBytes = 3 * sizeof(float);
}  // namespace

float DetailLevelError(float radius, int level) {
  return static_cast<float>(std::ldexp(RadiusOrOne(radius) / 100, level - 1));
}

float DetailLevelDistance(float radius, int level) {
  return static_cast<float>(std::min(std::ldexp(RadiusOrOne(radius) * 10, level - 1), kLongestDistance));
}

std::size_t DetailLevelTarget(std::size_t triangles, int level) {
  const std::size_t share = std::size_t{1} << level;
  return triangles / share + (triangles % share != 0 ? 1 : 0);
}

std::vector<uint32_t> SimplifyTriangles(const std::vector<uint32_t>& indices, const std::vector<float>& positions,
                                        std::size_t targetTriangles, float error) {
  const std::size_t vertexCount = positions.size() / 3;
  if (indices.empty() || vertexCount == 0) return indices;
  // The simplifier measures its error against the largest side of the
  // vertices' box; all of them at one point leave nothing to simplify.
  const float scale = meshopt_simplifyScale(positions.data(), vertexCount, kPositionBytes);
  if (!(scale > 0)) return indices;
  std::vector<uint32_t> kept(indices.size());
  const std::size_t count =
      meshopt_simplify(kept.data(), indices.data(), indices.size(), positions.data(), vertexCount, kPositionBytes,
                       std::min(targetTriangles * 3, indices.size()), error / scale, meshopt_SimplifyLockBorder,
                       nullptr);
  kept.resize(count);
  return kept;
}

std::vector<TDetailLevel> BuildDetailLevels(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes,
                                            float radius, int levels, bool orderForDrawing,
                                            const std::function<void(int)>& progress) {
  return BuildDetailLevels(ViewOf(subMeshes), radius, levels, orderForDrawing, progress);
}

std::vector<TDetailLevel> BuildDetailLevels(const TSubMeshView& subMeshes, float radius, int levels,
                                            bool orderForDrawing, const std::function<void(int)>& progress) {
  if (levels < 0 || levels > kMostDetailLevels) RaiseError("The levels of detail must be from 0 to 8.");
  std::vector<TDetailLevel> result(static_cast<std::size_t>(levels));
  if (levels == 0) return result;
  for (int k = 1; k <= levels; ++k) {
    TDetailLevel& level = result[static_cast<std::size_t>(k - 1)];
    level.Distance = DetailLevelDistance(radius, k);
    level.Indices.resize(subMeshes.size());
  }

  std::vector<uint32_t> indices;
  std::vector<float> positions;
  std::vector<uint32_t> ordered;
  for (std::size_t s = 0; s < subMeshes.size(); ++s) {
    const QZOgreSubMeshT& subMesh = *subMeshes[s];
    indices.clear();
    for (const QZOgreFaceInfoT& face : subMesh.Faces)
      for (const int32_t index : face.Indices) indices.push_back(static_cast<uint32_t>(index));
    positions.clear();
    for (const QZOgreVertexT& vertex : subMesh.Vertices) positions.insert(positions.end(), {vertex.X, vertex.Y, vertex.Z});

    const std::vector<uint32_t>* before = &indices;
    for (int k = 1; k <= levels; ++k) {
      std::vector<uint32_t> kept =
          SimplifyTriangles(indices, positions, DetailLevelTarget(subMesh.Faces.size(), k), DetailLevelError(radius, k));
      if (kept.empty() || kept.size() >= before->size()) {
        // Nothing gained, or the sub-mesh would vanish: the level before's list.
        kept = *before;
      } else if (orderForDrawing) {
        ordered.resize(kept.size());
        meshopt_optimizeVertexCache(ordered.data(), kept.data(), kept.size(), subMesh.Vertices.size());
        kept.swap(ordered);
      }
      std::vector<uint32_t>& target = result[static_cast<std::size_t>(k - 1)].Indices[s];
      target = std::move(kept);
      before = &target;
    }
    if (progress) progress(static_cast<int>((s + 1) * 100 / subMeshes.size()));
  }
  return result;
}
