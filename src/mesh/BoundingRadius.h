#pragma once
// The radius of a mesh's bounding sphere around the mesh's origin, where
// OGRE puts the sphere (an entity's sphere is centred on its scene node, and
// OGRE's own tools measure the radius from (0, 0, 0)): the exact distance
// from the origin to the farthest vertex, rounded up to single precision, so
// that the sphere holds every vertex. A box that is not centred on the origin
// (a crate standing on the floor, a piece of a level) gets a larger radius
// than half its diagonal, which is what the engine's light assignment and
// culling need.
//
// Every finite mesh gets a finite radius. The distance from the origin to a
// vertex of finite floats can exceed the largest float (the corner
// (FLT_MAX, FLT_MAX, FLT_MAX) lies FLT_MAX * sqrt(3) away); such a radius is
// written as the largest finite float, FLT_MAX, rather than as infinity,
// which OGRE's culling could not use.
//
// How: a first pass over the vertices measures each squared distance in
// double (the squares of floats are exact there, only the two additions
// round); only vertices within a few units of the last place of the largest
// measure can be the farthest, and those are measured again exactly, in
// integers. The exact square of the farthest distance then gives the root
// rounded up: a float candidate is checked against the exact squares of
// itself and of its lower neighbour and moved until it is the smallest float
// whose square is not less than the exact square.
//
// Use: call Measure for every vertex, then Confirm for every vertex (in any
// order), then Radius.

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"

class TFarthestVertex {
public:
  // First pass: the approximate squared distance of each vertex.
  void Measure(float x, float y, float z) {
    const double q = Approximate(x, y, z);
    if (q > FLargest) FLargest = q;
  }
  // Second pass: the vertices that may be the farthest are measured exactly.
  void Confirm(float x, float y, float z) {
    if (Approximate(x, y, z) < FLargest * kCandidateFraction) return;
    ConfirmExactly(x, y, z);
  }
  // The radius, rounded up; 0 when no vertex was confirmed or every vertex is the origin.
  float Radius() const;

  // How many vertices the second pass measured exactly (for tests and measurements).
  std::size_t ExactMeasures() const { return FExactMeasures; }

  // The exact square of a distance times 2^300, an integer below 2^560,
  // as 32-bit limbs with the least significant first.
  struct TExactSquare {
    uint32_t Limbs[18] = {};
  };

private:
  // The squared distance in double: each square of a float is exact (48
  // significant bits at most, no overflow or underflow), the two additions
  // round once each, so the result is within 2.01 units of double's last
  // place (u = 2^-53) of the exact value, relatively.
  static double Approximate(float x, float y, float z) {
    const double dx = x, dy = y, dz = z;
    return dx * dx + dy * dy + dz * dz;
  }
  // A vertex measured below this fraction of the largest measure is nearer
  // than the farthest one: its exact square is at most q / (1 - 2.01u), the
  // farthest one's at least q* / (1 + 2.01u), and 1 - 2^-48 leaves room for
  // thirty times that error.
  static constexpr double kCandidateFraction = 1.0 - 1.0 / 281474976710656.0;  // 1 - 2^-48
  void ConfirmExactly(float x, float y, float z);

  double FLargest = 0;
  bool FConfirmed = false;
  float FBest[3] = {0, 0, 0};
  TExactSquare FBestSquare;
  std::size_t FExactMeasures = 0;
};

// The exact squared distance (times 2^300) from the origin to the point;
// exposed for tests.
TFarthestVertex::TExactSquare ExactSquaredLength(const float point[3]);

// The smallest float whose square is not less than square / 2^300; FLT_MAX
// when that would be beyond FLT_MAX.
float RoundedUpRoot(const TFarthestVertex::TExactSquare& square);

// The box of all vertices of the sub-meshes and the radius above; all zeros
// for a mesh without a vertex.
TMeshBounds MeshBounds(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes);
