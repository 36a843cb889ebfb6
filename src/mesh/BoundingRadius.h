#pragma once
// The radius of a mesh's bounding sphere around the centre of its bounding
// box: the exact distance from the box's centre (the exact midpoint of its
// minimum and maximum on each axis, not a rounded one) to the farthest
// vertex, rounded once to single precision, to nearest with ties to even.
//
// Every finite mesh gets a finite radius. Half the diagonal of a box of
// finite floats can exceed the largest float (a box spanning -FLT_MAX to
// FLT_MAX on all three axes has half a diagonal of FLT_MAX * sqrt(3)); such
// a radius is written as the largest finite float, FLT_MAX, rather than as
// infinity, which OGRE's culling could not use. FLT_MAX is then less than
// the true radius: no float can say more.
//
// How: a first pass over the vertices measures each squared distance in
// double with a proven error bound (see BoundingRadius.cpp); only vertices
// within twice that bound of the largest measure can be the farthest, and
// those are measured again exactly, in integers. The exact square of the
// farthest distance then gives the correctly rounded root: a float
// candidate is checked against the exact squares of the midpoints to its
// neighbours and moved until it lies between them.
//
// Use: construct with the box, call Measure for every vertex, then Confirm
// for every vertex in the same order (or any order), then Radius.

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"

class TFarthestVertex {
public:
  // The box of all vertices that will be given (min <= max on each axis,
  // every bound a finite float).
  explicit TFarthestVertex(const TMeshBounds& box);

  // First pass: the approximate squared distance of each vertex.
  void Measure(float x, float y, float z) {
    const double q = Approximate(x, y, z);
    if (q > FLargest) FLargest = q;
  }
  // Second pass: the vertices that may be the farthest are measured exactly.
  void Confirm(float x, float y, float z) {
    if (FDegenerate || Approximate(x, y, z) < FLargest - 2 * FError) return;
    ConfirmExactly(x, y, z);
  }
  // The radius, correctly rounded; 0 when no vertex was confirmed.
  float Radius() const;

  // How many vertices the second pass measured exactly (for tests and measurements).
  std::size_t ExactMeasures() const { return FExactMeasures; }

  // The exact square of a distance times 2^300, an integer below 2^560,
  // as 32-bit limbs with the least significant first.
  struct TExactSquare {
    uint32_t Limbs[18] = {};
  };

private:
  // The squared distance in double: each difference from the centre's
  // double-double value rounded twice, the squares and their sum once each.
  double Approximate(float x, float y, float z) const {
    const double dx = (static_cast<double>(x) - FCentreHigh[0]) - FCentreLow[0];
    const double dy = (static_cast<double>(y) - FCentreHigh[1]) - FCentreLow[1];
    const double dz = (static_cast<double>(z) - FCentreHigh[2]) - FCentreLow[2];
    return dx * dx + dy * dy + dz * dz;
  }
  void ConfirmExactly(float x, float y, float z);

  float FMin[3], FMax[3];
  // The box's centre on each axis, exactly: the unevaluated sum High + Low.
  double FCentreHigh[3], FCentreLow[3];
  // The bound of |Approximate - exact squared distance| for any vertex in the box.
  double FError = 0;
  // Every vertex is the box's one point: the radius is 0.
  bool FDegenerate = false;
  double FLargest = 0;

  bool FConfirmed = false;
  float FBest[3] = {0, 0, 0};
  TExactSquare FBestSquare;
  std::size_t FExactMeasures = 0;
};

// The exact squared distance (times 2^300) from the centre of the box
// [min, max] to the point, on each axis min <= point <= max; exposed for tests.
TFarthestVertex::TExactSquare ExactSquaredDistance(const float min[3], const float max[3], const float point[3]);

// The square root of square / 2^300, rounded to the nearest float (ties to
// even); FLT_MAX when that root lies at or beyond the midpoint between
// FLT_MAX and the next power of two, which would round to infinity.
float RoundedRoot(const TFarthestVertex::TExactSquare& square);

// The box of all vertices of the sub-meshes and the radius above; all zeros
// for a mesh without a vertex.
TMeshBounds MeshBounds(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes);
