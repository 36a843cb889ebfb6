#include "PreviewTestSupport.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <optional>

#include "base/uException.h"
#include "preview/uPrivateDisplay.h"

// ---- The renderer ----

namespace {

struct TRenderer {
  std::unique_ptr<TPrivateDisplay> Display;
  std::unique_ptr<TPreviewRenderer> Renderer;  // goes before the display
  std::string SkipReason;
  bool Tried = false;
};

TRenderer& Shared() {
  static TRenderer renderer;
  return renderer;
}

// Ends OGRE and the display after the last test, before the program's
// static objects go.
class TRendererEnvironment : public testing::Environment {
public:
  void TearDown() override {
    Shared().Renderer.reset();
    Shared().Display.reset();
  }
};

[[maybe_unused]] testing::Environment* const RendererEnvironment =
    testing::AddGlobalTestEnvironment(new TRendererEnvironment);

}  // namespace

TPreviewRenderer* SharedRenderer() {
  TRenderer& shared = Shared();
  if (!shared.Tried) {
    shared.Tried = true;
    try {
      shared.Display = std::make_unique<TPrivateDisplay>();
      shared.Renderer = std::make_unique<TPreviewRenderer>();
    } catch (const TException& e) {
      shared.Renderer.reset();
      shared.Display.reset();
      shared.SkipReason = e.Message();
    }
  }
  return shared.Renderer.get();
}

const std::string& SkipReason() { return Shared().SkipReason; }

// ---- Scene documents ----

namespace {

TPoint Minus(const TPoint& a, const TPoint& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double Dot(const TPoint& a, const TPoint& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

TPoint Centre(const std::vector<TPoint>& points) {
  TPoint sum = {0, 0, 0};
  for (const TPoint& p : points)
    for (std::size_t i = 0; i < 3; ++i) sum[i] += p[i] / static_cast<double>(points.size());
  return sum;
}

// Newell's normal: right-handed, so it points towards the side from which the
// corners run counter-clockwise.
TPoint Normal(const std::vector<TPoint>& corners) {
  TPoint n = {0, 0, 0};
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const TPoint& a = corners[i];
    const TPoint& b = corners[(i + 1) % corners.size()];
    n[0] += (a[1] - b[1]) * (a[2] + b[2]);
    n[1] += (a[2] - b[2]) * (a[0] + b[0]);
    n[2] += (a[0] - b[0]) * (a[1] + b[1]);
  }
  return n;
}

// Turns each polygon of a convex shape so that its corners run clockwise seen
// from outside: its counter-clockwise side (its right-handed normal) faces
// the shape's centre.
TShape WoundClockwise(TShape shape) {
  const TPoint centre = Centre(shape.Vertices);
  for (std::vector<int>& polygon : shape.Polygons) {
    std::vector<TPoint> corners;
    for (int index : polygon) corners.push_back(shape.Vertices[static_cast<std::size_t>(index)]);
    if (Dot(Normal(corners), Minus(Centre(corners), centre)) > 0) std::reverse(polygon.begin(), polygon.end());
  }
  return shape;
}

std::string Number(double value) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return {buffer, end};
}

}  // namespace

TShape Cube(double size) {
  TShape shape{"Cube", {}, {}};
  for (int i = 0; i < 8; ++i)
    shape.Vertices.push_back({(i & 1) * size, ((i >> 1) & 1) * size, ((i >> 2) & 1) * size});
  shape.Polygons = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  return WoundClockwise(shape);
}

TShape Prism(double size) {
  TShape shape{"Prism", {}, {}};
  const double h = size * std::sqrt(3.0) / 2;
  // A triangle in the x-y plane, drawn out along z.
  for (double z : {0.0, size * 1.5})
    for (const TPoint& p : {TPoint{0, 0, z}, TPoint{size, 0, z}, TPoint{size / 2, h, z}}) shape.Vertices.push_back(p);
  shape.Polygons = {{0, 1, 2}, {3, 4, 5}, {0, 1, 4, 3}, {1, 2, 5, 4}, {2, 0, 3, 5}};
  return WoundClockwise(shape);
}

TShape Cylinder(double radius, double height, int sides) {
  TShape shape{"Cylinder", {}, {}};
  for (double y : {0.0, height})
    for (int i = 0; i < sides; ++i) {
      const double angle = 2 * std::numbers::pi * i / sides;
      shape.Vertices.push_back({radius * std::cos(angle), y, radius * std::sin(angle)});
    }
  std::vector<int> bottom, top;
  for (int i = 0; i < sides; ++i) {
    bottom.push_back(i);
    top.push_back(sides + i);
    const int next = (i + 1) % sides;
    shape.Polygons.push_back({i, next, sides + next, sides + i});
  }
  shape.Polygons.push_back(bottom);
  shape.Polygons.push_back(top);
  return WoundClockwise(shape);
}

TShape Sphere(double radius, int segments, int rings) {
  TShape shape{"Sphere", {}, {}};
  shape.Vertices.push_back({0, 2 * radius, 0});  // the north pole
  for (int ring = 1; ring < rings; ++ring) {
    const double polar = std::numbers::pi * ring / rings;
    for (int s = 0; s < segments; ++s) {
      const double azimuth = 2 * std::numbers::pi * s / segments;
      shape.Vertices.push_back({radius * std::sin(polar) * std::cos(azimuth), radius + radius * std::cos(polar),
                                radius * std::sin(polar) * std::sin(azimuth)});
    }
  }
  shape.Vertices.push_back({0, 0, 0});  // the south pole
  const int south = static_cast<int>(shape.Vertices.size()) - 1;
  const auto at = [&](int ring, int s) { return 1 + (ring - 1) * segments + (s % segments); };
  for (int s = 0; s < segments; ++s) {
    shape.Polygons.push_back({0, at(1, s), at(1, s + 1)});
    for (int ring = 1; ring + 1 < rings; ++ring)
      shape.Polygons.push_back({at(ring, s), at(ring + 1, s), at(ring + 1, s + 1), at(ring, s + 1)});
    shape.Polygons.push_back({south, at(rings - 1, s + 1), at(rings - 1, s)});
  }
  return WoundClockwise(shape);
}

TShape InsideOut(TShape shape) {
  for (std::vector<int>& polygon : shape.Polygons) std::reverse(polygon.begin(), polygon.end());
  shape.Name += " inside out";
  return shape;
}

std::string ShapeDocument(const TShape& shape, const std::string& materialName, const TRgb& colour) {
  std::string vertices, polygons;
  for (std::size_t i = 0; i < shape.Vertices.size(); ++i)
    vertices += "<vertex id=\"v" + std::to_string(i) + "\" x=\"" + Number(shape.Vertices[i][0]) + "\" y=\"" +
                Number(shape.Vertices[i][1]) + "\" z=\"" + Number(shape.Vertices[i][2]) + "\" />\n";
  for (const std::vector<int>& polygon : shape.Polygons) {
    polygons += "<poly mid=\"m\">";
    for (int index : polygon) polygons += "<vertex vid=\"v" + std::to_string(index) + "\" u0=\"0\" v0=\"0\" />";
    polygons += "</poly>\n";
  }
  return "<scene>\n<settings name=\"" + shape.Name + "\" author=\"Test\" comments=\"Generated\" shadowOpacity=\"75\" />\n<materials><category name=\"Shapes\">"
         "<material id=\"m\" name=\"" + materialName + "\" used=\"true\"><layer type=\"color\" blend=\"replace\">"
         "<color r=\"" + std::to_string(colour.R) + "\" g=\"" + std::to_string(colour.G) + "\" b=\"" +
         std::to_string(colour.B) + "\" /></layer></material></category></materials>\n"
         "<primitives><primitive id=\"p\" name=\"Shape\" type=\"userdefined\" visible=\"true\" snap=\"none\" "
         "autoUV=\"false\"><vertices>\n" + vertices + "</vertices><polygons>\n" + polygons +
         "</polygons></primitive></primitives>\n</scene>\n";
}

// ---- Pictures ----

std::string TCullingComparison::Describe() const {
  return std::to_string(Covered) + " pixels covered with back faces culled; " + std::to_string(LostToCulling) +
         " covered only with back faces drawn, " + std::to_string(GainedByCulling) +
         " only with back faces culled, " + std::to_string(OtherSurface) + " show another surface";
}

TCullingComparison CompareCulling(const TPreviewImage& culled, const TPreviewImage& drawn, const TRgb& background) {
  TCullingComparison comparison;
  EXPECT_EQ(culled.Width, drawn.Width);
  EXPECT_EQ(culled.Height, drawn.Height);
  if (culled.Width != drawn.Width || culled.Height != drawn.Height) return comparison;
  for (int y = 0; y < culled.Height; ++y)
    for (int x = 0; x < culled.Width; ++x) {
      const TRgb a = culled.At(x, y), b = drawn.At(x, y);
      const bool inA = a != background, inB = b != background;
      comparison.Covered += inA ? 1 : 0;
      if (inA && !inB) ++comparison.GainedByCulling;
      if (!inA && inB) ++comparison.LostToCulling;
      // Two renders of one surface give the same colour; a little room for
      // the rasteriser all the same.
      const auto apart = [](std::uint8_t u, std::uint8_t v) { return std::abs(int(u) - int(v)) > 2; };
      if (inA && inB && (apart(a.R, b.R) || apart(a.G, b.G) || apart(a.B, b.B))) ++comparison.OtherSurface;
    }
  return comparison;
}

TPreviewOptions ComparisonOptions(TPreviewCulling culling) {
  TPreviewOptions options;
  options.Width = 480;
  options.Height = 360;
  options.Views = 4;
  options.Culling = culling;
  // Pure green: no sample nor shape shows it, and the depth tint fades towards magenta.
  options.Background = {0, 255, 0};
  options.Separator = options.Background;
  options.Antialiasing = 0;
  options.DepthTint = true;
  return options;
}
