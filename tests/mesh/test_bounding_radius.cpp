// The bounding radius: the exact distance from the box's exact centre to the
// farthest vertex, rounded once to float. The expected values are found
// independently: either they are exact by construction (Pythagorean triples
// scaled by powers of two, one-axis boxes), or the inputs are chosen so that
// the exact squared radius is a long double (64-bit significand), and the
// radius is checked to be the float nearest to its root by comparing with
// the squares of the midpoints to its neighbours, also exact in long double.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "mesh/BoundingRadius.h"
#include "mesh/QZOgreBinaryMeshWriter.h"

namespace {

struct TPoint {
  float X, Y, Z;
};

// The bounds the exporter calculates for a mesh of these vertices, in one
// sub-mesh or spread over several.
TMeshBounds BoundsOf(const std::vector<TPoint>& points, std::size_t perSubMesh = 0) {
  std::vector<std::unique_ptr<QZOgreSubMeshT>> subMeshes;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (subMeshes.empty() || (perSubMesh != 0 && i % perSubMesh == 0))
      subMeshes.push_back(std::make_unique<QZOgreSubMeshT>());
    subMeshes.back()->Vertices.emplace_back(points[i].X, points[i].Y, points[i].Z);
  }
  return MeshBounds(subMeshes);
}

float RadiusOf(const std::vector<TPoint>& points) { return BoundsOf(points).Radius; }

// What the exporter computed before: centre, differences and the squared
// distance as floats. Infinite for differences beyond about 1.8e19.
float FormerRadius(const std::vector<TPoint>& points) {
  const TMeshBounds b = BoundsOf(points);
  const float cx = (b.MinX + b.MaxX) / 2, cy = (b.MinY + b.MaxY) / 2, cz = (b.MinZ + b.MaxZ) / 2;
  float largest = 0;
  for (const TPoint& p : points) {
    const float dx = p.X - cx, dy = p.Y - cy, dz = p.Z - cz;
    largest = std::max(largest, static_cast<float>(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy +
                                                   static_cast<double>(dz) * dz));
  }
  return static_cast<float>(std::sqrt(static_cast<double>(largest)));
}

bool IsOdd(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & 1) != 0;
}

constexpr bool kLongDoubleHas64Bits = std::numeric_limits<long double>::digits >= 64;

// Whether `radius` is the float nearest to the root of `square` (ties to
// even), for a square that the long double holds exactly. The midpoints
// have 25 significant bits, their squares 50: exact in long double.
::testing::AssertionResult IsNearestToRoot(float radius, long double square) {
  const long double r = radius;
  const long double below = (r + std::nextafter(radius, 0.0f)) / 2;
  const long double above = (r + std::nextafter(radius, std::numeric_limits<float>::infinity())) / 2;
  if (radius > 0 && (square < below * below || (square == below * below && IsOdd(radius))))
    return ::testing::AssertionFailure() << radius << " is above the nearest float to the root";
  if (square > above * above || (square == above * above && IsOdd(radius)))
    return ::testing::AssertionFailure() << radius << " is below the nearest float to the root";
  return ::testing::AssertionSuccess();
}

// The exact squared distance from the box's centre to the farthest point, for
// points whose differences from the centre the long double holds exactly.
long double ExactSquare(const std::vector<TPoint>& points) {
  const TMeshBounds b = BoundsOf(points);
  const long double cx = (static_cast<long double>(b.MinX) + b.MaxX) / 2,
                    cy = (static_cast<long double>(b.MinY) + b.MaxY) / 2,
                    cz = (static_cast<long double>(b.MinZ) + b.MaxZ) / 2;
  long double largest = 0;
  for (const TPoint& p : points) {
    const long double dx = p.X - cx, dy = p.Y - cy, dz = p.Z - cz;
    largest = std::max(largest, dx * dx + dy * dy + dz * dz);
  }
  return largest;
}

// Random points whose coordinates are integers of up to 20 bits times
// 2^shift (the same shift on every axis, less up to `spread` bits), so
// that every squared distance from the centre has at most 62 significant
// bits: exact in long double.
std::vector<TPoint> RandomPoints(std::mt19937& random, int count, int shift, int spread) {
  std::uniform_int_distribution<int32_t> integer(-(1 << 20), 1 << 20);
  std::uniform_int_distribution<int> axisShift(0, spread);
  const int shifts[3] = {shift - axisShift(random), shift - axisShift(random), shift - axisShift(random)};
  std::vector<TPoint> points;
  for (int i = 0; i < count; ++i)
    points.push_back({std::ldexp(static_cast<float>(integer(random)), shifts[0]),
                      std::ldexp(static_cast<float>(integer(random)), shifts[1]),
                      std::ldexp(static_cast<float>(integer(random)), shifts[2])});
  return points;
}

// The radius read back from a binary mesh file's bounds chunk (id 0x9000,
// six bytes of header, then six floats of the box and the radius).
float RadiusInBinaryMesh(const std::string& file) {
  const std::string content = TTempDir::Read(file);
  const std::string header("\x00\x90\x22\x00\x00\x00", 6);
  const std::size_t at = content.rfind(header);
  if (at == std::string::npos || at + 6 + 28 != content.size()) return -1;
  float radius = 0;
  std::memcpy(&radius, content.data() + at + 6 + 24, sizeof radius);
  return radius;
}

}  // namespace

TEST(BoundingRadius, OrdinaryMeshesKeepTheirRadius) {
  // A unit grid's triangle, the example of the exporter's bounds test.
  EXPECT_EQ(RadiusOf({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}}), static_cast<float>(std::sqrt(2.0)));
  // A room of 4 x 3 x 2.5 metres in millimetres, a crate, a thin wall.
  for (const std::vector<TPoint>& mesh : std::vector<std::vector<TPoint>>{
           {{0, 0, 0}, {4000, 3000, 2500}, {4000, 0, 2500}},
           {{-300, 0, -300}, {300, 600, 300}, {300, 0, -300}, {-300, 600, 300}},
           {{0.1f, 0.2f, 0.3f}, {1000.7f, 0.25f, 0.35f}, {17.125f, 0.2f, 0.3f}}}) {
    EXPECT_EQ(RadiusOf(mesh), FormerRadius(mesh));
    EXPECT_TRUE(std::isfinite(RadiusOf(mesh)));
  }
}

TEST(BoundingRadius, NoVertexOrOnePointHasRadiusZero) {
  EXPECT_EQ(RadiusOf({}), 0.0f);
  EXPECT_EQ(RadiusOf({{5, -7, 1e30f}, {5, -7, 1e30f}}), 0.0f);
  EXPECT_EQ(RadiusOf({{0, 0, 0}, {-0.0f, 0, 0}}), 0.0f);
}

TEST(BoundingRadius, ExactRadiiOfHugeMeshesAreWrittenExactly) {
  // (3, 4, 12) around the centre: 13, at every scale that a float holds.
  for (const int shift : {0, 40, 60, 63, 64, 80, 100, 120, 123}) {
    const float a = std::ldexp(3.0f, shift), b = std::ldexp(4.0f, shift), c = std::ldexp(12.0f, shift);
    const std::vector<TPoint> mesh = {{-a, -b, -c}, {a, b, c}, {a, -b, c}};
    EXPECT_EQ(RadiusOf(mesh), std::ldexp(13.0f, shift)) << shift;
  }
  // 1e19-ish and beyond: the former formula overflowed the squared distance.
  const float big = std::ldexp(12.0f, 63);  // 1.1e20
  const std::vector<TPoint> mesh = {{-big, 0, 0}, {big, 0, 0}, {0, 0, 0}};
  EXPECT_EQ(RadiusOf(mesh), big);
  EXPECT_TRUE(std::isinf(FormerRadius(mesh))) << "the former formula, for comparison";
}

TEST(BoundingRadius, RandomHugeMeshesGetTheCorrectlyRoundedRadius) {
  if (!kLongDoubleHas64Bits) GTEST_SKIP() << "long double is not exact enough here to check against";
  std::mt19937 random(20240611);
  // Scales around 1, 1e19, 1e30 and 1e38.
  for (const int shift : {-20, 0, 43, 44, 80, 100, 106}) {
    for (int round = 0; round < 200; ++round) {
      const std::vector<TPoint> mesh = RandomPoints(random, 1 + round % 7, shift, round % 3 == 0 ? 8 : 0);
      const float radius = RadiusOf(mesh);
      ASSERT_TRUE(std::isfinite(radius));
      ASSERT_TRUE(IsNearestToRoot(radius, ExactSquare(mesh))) << "scale 2^" << shift << ", round " << round;
    }
  }
}

TEST(BoundingRadius, ACentreWhoseSumOverflowsAFloat) {
  // min + max beyond FLT_MAX: the former centre was infinite.
  const float low = std::ldexp(1.0f, 127), high = FLT_MAX;
  const std::vector<TPoint> mesh = {{low, 0, 0}, {high, 0, 0}, {high, 0, 0}};
  // Half of FLT_MAX - 2^127 = 2^127 - 2^104, exactly.
  EXPECT_EQ(RadiusOf(mesh), std::ldexp(1.0f, 126) - std::ldexp(1.0f, 103));
  EXPECT_FALSE(std::isfinite(FormerRadius(mesh)));
}

TEST(BoundingRadius, BeyondTheLargestFloatTheRadiusIsTheLargestFloat) {
  // Half of one axis of FLT_MAX's box: FLT_MAX itself, exactly.
  EXPECT_EQ(RadiusOf({{-FLT_MAX, 0, 0}, {FLT_MAX, 0, 0}, {0, 0, 0}}), FLT_MAX);
  // A box of +-FLT_MAX on all three axes: half its diagonal is
  // FLT_MAX * sqrt(3), which no float holds. Decided: FLT_MAX, the largest
  // finite float, not infinity.
  std::vector<TPoint> corners;
  for (const float x : {-FLT_MAX, FLT_MAX})
    for (const float y : {-FLT_MAX, FLT_MAX})
      for (const float z : {-FLT_MAX, FLT_MAX}) corners.push_back({x, y, z});
  EXPECT_EQ(RadiusOf(corners), FLT_MAX);
  EXPECT_TRUE(std::isinf(FormerRadius(corners)));
  // Just beyond FLT_MAX, below the midpoint to 2^128: FLT_MAX by rounding.
  EXPECT_EQ(RadiusOf({{-FLT_MAX, -1e30f, 0}, {FLT_MAX, 1e30f, 0}}), FLT_MAX);
  // Beyond that midpoint rounding would give infinity; still FLT_MAX.
  EXPECT_EQ(RadiusOf({{-FLT_MAX, -FLT_MAX / 2, 0}, {FLT_MAX, FLT_MAX / 2, 0}}), FLT_MAX);
}

TEST(BoundingRadius, MidpointsRoundToEven) {
  // x from -2^-23 to 2: centre 1 - 2^-24, radius 1 + 2^-24 exactly, halfway
  // between 1 and 1 + 2^-23: the even one, 1.
  EXPECT_EQ(RadiusOf({{-std::ldexp(1.0f, -23), 0, 0}, {2, 0, 0}}), 1.0f);
  // x from -2^-23 to 2 + 2^-22: radius 1 + 3 * 2^-24, halfway between
  // 1 + 2^-23 and 1 + 2^-22: the even one, 1 + 2^-22.
  EXPECT_EQ(RadiusOf({{-std::ldexp(1.0f, -23), 0, 0}, {2 + std::ldexp(1.0f, -22), 0, 0}}),
            1 + std::ldexp(1.0f, -22));
  // At the bottom of the subnormals: 2^-150 ties to 0, 3 * 2^-150 to 2^-148.
  const float tiny = std::numeric_limits<float>::denorm_min();  // 2^-149
  EXPECT_EQ(RadiusOf({{0, 0, 0}, {tiny, 0, 0}}), 0.0f);
  EXPECT_EQ(RadiusOf({{0, 0, 0}, {3 * tiny, 0, 0}}), 2 * tiny);
}

TEST(BoundingRadius, DoubleIsNotEnough) {
  // x from -2^-23 to 2 (centre 1 - 2^-24), y from 0 to 2^-40 (centre
  // 2^-41): every corner lies sqrt((1 + 2^-24)^2 + 2^-82) from the centre,
  // a hair above the midpoint 1 + 2^-24 between 1 and 1 + 2^-23, so the
  // nearest float is 1 + 2^-23. In double the square rounds to the
  // midpoint's square exactly and the root ties down to 1.
  const float low = -std::ldexp(1.0f, -23), high = 2, top = std::ldexp(1.0f, -40);
  const std::vector<TPoint> mesh = {{low, 0, 0}, {high, top, 0}, {high, 0, 0}};
  EXPECT_EQ(RadiusOf(mesh), 1 + std::ldexp(1.0f, -23));
  const double dx = 1 + std::ldexp(1.0, -24), dy = std::ldexp(1.0, -41);
  EXPECT_EQ(static_cast<float>(std::sqrt(dx * dx + dy * dy)), 1.0f) << "what double alone gives";
  EXPECT_EQ(FormerRadius(mesh), 1.0f);
}

TEST(BoundingRadius, TheFarthestVertexIsChosenExactlyAmongNearTies) {
  // The same box; the vertex on the centre's height comes first and lies
  // exactly on the midpoint (rounds down to 1), the corners after it lie a
  // hair beyond (round up): the approximations cannot tell them apart.
  const float low = -std::ldexp(1.0f, -23), high = 2, top = std::ldexp(1.0f, -40), middle = std::ldexp(1.0f, -41);
  const std::vector<TPoint> mesh = {{high, middle, 0}, {0.5f, 0, 0}, {0.5f, top, 0}, {low, top, 0}};
  EXPECT_EQ(RadiusOf(mesh), 1 + std::ldexp(1.0f, -23));
  // The same in several sub-meshes.
  EXPECT_EQ(BoundsOf(mesh, 1).Radius, 1 + std::ldexp(1.0f, -23));
  // Without the corner the midpoint wins, and ties down.
  EXPECT_EQ(RadiusOf({{high, middle, 0}, {0.5f, 0, 0}, {0.5f, top, 0}, {low, middle, 0}}), 1.0f);
}

TEST(BoundingRadius, TheFilterFindsWhatMeasuringEveryVertexExactlyFinds) {
  // Coordinates of every magnitude, from subnormals to FLT_MAX, mixed.
  std::mt19937 random(7);
  std::uniform_int_distribution<uint32_t> bits(0, 0x7F7FFFFF);  // every finite non-negative float
  std::uniform_int_distribution<int> coin(0, 1);
  for (int round = 0; round < 300; ++round) {
    std::vector<TPoint> mesh;
    const int count = 1 + round % 20;
    for (int i = 0; i < count; ++i) {
      float coordinates[3];
      for (float& c : coordinates) {
        const uint32_t pattern = bits(random);
        std::memcpy(&c, &pattern, sizeof c);
        if (coin(random)) c = -c;
      }
      mesh.push_back({coordinates[0], coordinates[1], coordinates[2]});
    }
    const TMeshBounds box = BoundsOf(mesh);
    const float min[3] = {box.MinX, box.MinY, box.MinZ}, max[3] = {box.MaxX, box.MaxY, box.MaxZ};
    // The farthest vertex by exact measures of all of them.
    TFarthestVertex::TExactSquare largest;
    for (const TPoint& p : mesh) {
      const float point[3] = {p.X, p.Y, p.Z};
      const TFarthestVertex::TExactSquare square = ExactSquaredDistance(min, max, point);
      for (int i = 17; i >= 0; --i)
        if (square.Limbs[i] != largest.Limbs[i]) {
          if (square.Limbs[i] > largest.Limbs[i]) largest = square;
          break;
        }
    }
    ASSERT_EQ(box.Radius, RoundedRoot(largest)) << "round " << round;
    ASSERT_TRUE(std::isfinite(box.Radius));
  }
}

TEST(BoundingRadius, OnlyNearTiesAreMeasuredExactly) {
  // A fan of points at many distances: only the farthest is measured exactly.
  std::vector<TPoint> mesh;
  for (int i = 0; i < 1000; ++i) mesh.push_back({static_cast<float>(i), static_cast<float>(i % 17), 0});
  const TMeshBounds box = BoundsOf(mesh);
  TFarthestVertex farthest(box);
  for (const TPoint& p : mesh) farthest.Measure(p.X, p.Y, p.Z);
  for (const TPoint& p : mesh) farthest.Confirm(p.X, p.Y, p.Z);
  EXPECT_LE(farthest.ExactMeasures(), 2u);
  EXPECT_EQ(farthest.Radius(), box.Radius);
}

TEST(BoundingRadius, TheBinaryMeshCarriesTheExactRadius) {
  // The XML form has no bounds (OGRE's converter computes its own); the
  // binary form writes the one MeshBounds gives.
  TTempDir dir;
  for (const float scale : {1.0f, 1e19f, 1e30f, FLT_MAX / 13}) {
    // 3, 4 and 12 times the scale, each rounded to a float: the centre is 0,
    // and the squared radius, of 24-bit squares close in magnitude, is exact
    // in long double.
    const std::vector<TPoint> points = {
        {-3 * scale, -4 * scale, -12 * scale}, {3 * scale, 4 * scale, 12 * scale}, {3 * scale, -4 * scale, 12 * scale}};
    auto subMesh = std::make_unique<QZOgreSubMeshT>();
    for (const TPoint& p : points) subMesh->Vertices.emplace_back(p.X, p.Y, p.Z);
    subMesh->AddFace(0, 1, 2, nullptr);
    auto material = std::make_unique<QZOgreMaterialT>();
    material->Name = "M";
    subMesh->Material = material.get();
    std::vector<std::unique_ptr<QZOgreSubMeshT>> subMeshes;
    subMeshes.push_back(std::move(subMesh));
    const std::string file = dir.File("huge.mesh");
    WriteBinaryMesh(file, subMeshes, MeshBounds(subMeshes), false, false);
    const float radius = RadiusInBinaryMesh(file);
    EXPECT_TRUE(std::isfinite(radius)) << scale;
    EXPECT_EQ(radius, RadiusOf(points)) << scale;
    if (kLongDoubleHas64Bits) {
      EXPECT_TRUE(IsNearestToRoot(radius, ExactSquare(points))) << scale;
    }
  }
}
