#pragma once
// The triangles of one polygon of the scene, as corner numbers in the order
// the mesh writes them: each triangle's corners reversed, so that the
// editor's clockwise faces become OGRE's counter-clockwise front faces.
//
// A convex polygon (and every triangle) is a fan around corner 0: with
// corners 0, 1, 2, 3 the triangles (2, 1, 0) and (3, 2, 0). A fan covers the
// notch of a polygon with a reflex corner (a dart, an L) and turns triangles
// backwards, so such a polygon is cut by ear clipping instead, by a rule
// written out exactly so that other tools reproduce the same triangles:
//
// 1. The polygon is looked at along the axis of the largest magnitude among
//    its Newell sums (the face normal's sums before normalising; ties go to
//    x, then y, then z), each corner projected to (p, q) = (Y, Z), (Z, X) or
//    (X, Y) for the axis x, y or z.
// 2. sigma is the sign of the shoelace sum of (p_i q_i+1 - p_i+1 q_i) over
//    the corners; cross(U, V, W) = (V.p - U.p)(W.q - V.q) - (V.q - U.q)(W.p - V.p).
// 3. Convex when sigma * cross(previous, corner, next) >= 0 at every corner
//    (so a polygon of sigma 0 is fanned too).
// 4. Otherwise, with L the list of corner numbers: while L has more than 3
//    entries, the first entry L[k] (neighbours cyclic in L) with
//    sigma * cross(L[k-1], L[k], L[k+1]) > 0 and no other entry of L inside
//    or on that triangle (r is, when sigma * cross is >= 0 for (A, B, r),
//    (B, C, r) and (C, A, r)) is an ear: it gives the triangle
//    (L[k+1], L[k], L[k-1]) and leaves L, and the search starts again at
//    k = 0. With no ear left, the rest of L is fanned from L[0] as above.
//    The last three entries give (L[2], L[1], L[0]).
// Everything is computed in double from the single-precision positions, in
// the order written.

#include <array>
#include <cstdint>
#include <vector>

struct TCornerPosition {
  float X, Y, Z;
};

using TCornerTriangle = std::array<int32_t, 3>;

// Replaces `triangles` with the n - 2 triangles of the polygon of these n >= 3
// corners. `scratch` is working room that a caller may keep between polygons.
struct TTriangulationScratch {
  std::vector<double> P, Q;
  std::vector<int32_t> Remaining;
};
void TriangulatePolygon(const std::vector<TCornerPosition>& corners, std::vector<TCornerTriangle>& triangles,
                        TTriangulationScratch& scratch);
