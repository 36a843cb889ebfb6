#pragma once
// Levels of detail: coarser triangle lists of every sub-mesh over the same
// vertices, which OGRE draws instead of the full mesh once the camera is far
// enough away that the difference is about a pixel on the screen. OGRE
// calls them "generated" levels: the mesh file holds, for each level, the
// distance at which it starts and each sub-mesh's index list at it.
//
// The rule, for the levels k = 1 to N of a mesh whose bounding radius is R
// (BoundingRadius.h: the distance of its farthest vertex from its origin; a
// mesh with no vertex off its origin counts R as 1):
//
// - Error. Level k may move the surface by up to E_k = R / 100 * 2^(k-1):
//   1 % of R at level 1, doubling with every level.
// - Target. Each sub-mesh of T triangles aims at ceil(T / 2^k) triangles:
//   half of them at level 1, a quarter at level 2, and so on.
// - Simplification. meshoptimizer's meshopt_simplify, run on the sub-mesh's
//   full triangle list, stops at the target or where a further collapse
//   would pass the error, whichever comes first; its relative error is E_k
//   divided by meshopt_simplifyScale of the sub-mesh's vertices. Vertices on
//   the outline of a sub-mesh stay where they are
//   (meshopt_SimplifyLockBorder), so that sub-meshes that meet (the tiles of
//   a terrain, the pieces of a sub-mesh cut for 16-bit indices) still meet
//   without a crack at every level. Vertices that share a position but not
//   a normal or texture coordinates (a seam) move together or not at all.
// - A sub-mesh too small to simplify (its outline is all it has, or its
//   vertices lie at one point) keeps its triangles. A level at which the
//   simplifier would remove a sub-mesh whole, or keep no fewer of its
//   triangles than the level before, takes the list of the level before
//   (the full list for level 1): a level never has more triangles than the
//   one before it, and a sub-mesh never vanishes.
// - Order. Each kept triangle has its corners in their order (its winding);
//   optimised for drawing, each level's triangles are then ordered for the
//   vertex cache as the full list is (meshopt_optimizeVertexCache).
// - Distance. Level k starts at D_k = 1000 * E_k = 10 R * 2^(k-1), the value
//   of OGRE's "distance_sphere" strategy: sqrt(d^2 - R^2) for a camera at d
//   from the mesh's origin. Such a camera is at least D_k - R >= 0.9 D_k from
//   every vertex, so that an error of E_k is seen under at most 1/900 of a
//   radian: about one pixel of a picture 1080 pixels high with a vertical
//   field of view of 60 degrees (1/935 of a radian a pixel at its middle).
//   A distance is capped at 1.8e19, so that its square (the value the 1.30
//   format stores) is still a float.
//
// The result depends on nothing but the input: the same on every machine.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"

// The most levels beyond the full mesh that an export makes: the 8th has a
// 256th of the triangles, and its error is above the radius already.
inline constexpr int kMostDetailLevels = 8;

// One level beyond the full mesh.
struct TDetailLevel {
  // Where the level starts: D_k above.
  float Distance = 0;
  // Each sub-mesh's triangles at this level, in the order of the mesh's
  // sub-meshes: three indices a triangle, into the sub-mesh's own vertices.
  std::vector<std::vector<uint32_t>> Indices;
};

// E_k, D_k and the target triangle count of a sub-mesh of `triangles`
// triangles at level `level` (from 1), as above.
float DetailLevelError(float radius, int level);
float DetailLevelDistance(float radius, int level);
std::size_t DetailLevelTarget(std::size_t triangles, int level);

// One simplification as above, on flat arrays: `indices` three a triangle,
// `positions` three floats a vertex (x, y, z). Returns the kept triangles'
// indices; empty when the simplifier removed every triangle.
std::vector<uint32_t> SimplifyTriangles(const std::vector<uint32_t>& indices, const std::vector<float>& positions,
                                        std::size_t targetTriangles, float error);

// The levels 1 to `levels` of the sub-meshes, for a mesh of bounding radius
// `radius`; none for 0. `orderForDrawing` orders each level's triangles for
// the vertex cache. `progress`, when set, is told how far the work is, in
// percent. Raises "The levels of detail must be from 0 to 8." outside that range.
std::vector<TDetailLevel> BuildDetailLevels(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes,
                                            float radius, int levels, bool orderForDrawing,
                                            const std::function<void(int)>& progress = {});
std::vector<TDetailLevel> BuildDetailLevels(const TSubMeshView& subMeshes, float radius, int levels,
                                            bool orderForDrawing, const std::function<void(int)>& progress = {});
