#pragma once
// What the render tests share: one display and one renderer for the whole
// test program (OGRE's Root exists once in a process), scene documents of
// closed shapes wound as the editor winds them, and the comparison of two
// pictures pixel by pixel.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "preview/uPreviewRenderer.h"

// ---- The renderer ----

// The program's renderer, started on first use on a private display (or
// DISPLAY); null when OGRE's OpenGL render system cannot start here, and
// SkipReason() says why.
TPreviewRenderer* SharedRenderer();
const std::string& SkipReason();

// Skips the test, with the reason, where the render system cannot start.
#define REQUIRE_RENDERER()                                                                         \
  do {                                                                                             \
    if (!SharedRenderer()) GTEST_SKIP() << "OGRE's OpenGL render system cannot start here: " << SkipReason(); \
  } while (false)

// ---- Scene documents ----

using TPoint = std::array<double, 3>;

struct TShape {
  std::string Name;
  std::vector<TPoint> Vertices;
  // Corner indices, each polygon wound CLOCKWISE seen from outside (the
  // editor's convention).
  std::vector<std::vector<int>> Polygons;
};

// Closed convex shapes, in editor units, resting on y = 0. Their polygons are
// wound clockwise seen from outside by construction: each is turned so that
// its right-handed normal points into the shape.
TShape Cube(double size);
TShape Prism(double size);                                // a triangular prism
TShape Cylinder(double radius, double height, int sides); // with many-cornered caps
TShape Sphere(double radius, int segments, int rings);     // quads, and triangles at the poles

// The same shape with each polygon's corners listed the other way round:
// counter-clockwise seen from outside, inside out to the editor.
TShape InsideOut(TShape shape);

// A scene document holding the shape as one visible primitive of one material
// whose only layer is a colour (type "color", blend "replace").
std::string ShapeDocument(const TShape& shape, const std::string& materialName, const TRgb& colour);

// ---- Pictures ----

// How a picture with back faces culled differs from one with back faces
// drawn. "Covered" is any pixel that is not the background.
struct TCullingComparison {
  int Covered = 0;             // pixels covered with back faces culled
  int LostToCulling = 0;       // covered only with back faces drawn
  int GainedByCulling = 0;     // covered only with back faces culled
  int OtherSurface = 0;        // covered in both, but by another surface (another colour)
  // The same outline, and the same surface in all but a few pixels along
  // the outline: where a back face meets the outline, its depth equals the
  // front face's within the depth buffer's precision, and OGRE's depth test
  // (less or equal) lets the face drawn later win.
  bool Same() const { return LostToCulling == 0 && GainedByCulling == 0 && OtherSurface <= Covered / 1000; }
  std::string Describe() const;
};

TCullingComparison CompareCulling(const TPreviewImage& culled, const TPreviewImage& drawn, const TRgb& background);

// The options of the comparison renders: a plain background (also between the
// views), no anti-aliasing (a pixel is covered or not), the depth tint on (a
// far face never looks like a near one), four views.
TPreviewOptions ComparisonOptions(TPreviewCulling culling);
