// The bounding radius: the exact distance from the origin, where OGRE
// centres an entity's bounding sphere, to the farthest vertex, rounded up to
// a float so that the sphere holds every vertex. The expected values are
// found independently: either they are exact by construction (Pythagorean
// quadruples scaled by powers of two), or the inputs are chosen so that the
// exact squared radius is a long double (64-bit significand), and the radius
// is checked to be the smallest float whose square (48 significant bits,
// exact in long double) is not less than it.

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

// What the exporter computed before: the distance from the centre of the box,
// rounded to the nearest float.
float CentreRadius(const std::vector<TPoint>& points) {
  const TMeshBounds b = BoundsOf(points);
  const double cx = (static_cast<double>(b.MinX) + b.MaxX) / 2, cy = (static_cast<double>(b.MinY) + b.MaxY) / 2,
               cz = (static_cast<double>(b.MinZ) + b.MaxZ) / 2;
  double largest = 0;
  for (const TPoint& p : points) {
    const double dx = p.X - cx, dy = p.Y - cy, dz = p.Z - cz;
    largest = std::max(largest, dx * dx + dy * dy + dz * dz);
  }
  return static_cast<float>(std::sqrt(largest));
}

constexpr bool kLongDoubleHas64Bits = std::numeric_limits<long double>::digits >= 64;

// Whether `radius` is the smallest float whose square is not less than
// `square`, for a square that the long double holds exactly.
::testing::AssertionResult IsSmallestFloatReaching(float radius, long double square) {
  const long double r = radius, below = std::nextafter(radius, 0.0f);
  if (r * r < square) return ::testing::AssertionFailure() << radius << " does not reach the farthest vertex";
  if (radius > 0 && below * below >= square)
    return ::testing::AssertionFailure() << radius << " is not the smallest float that reaches it";
  return ::testing::AssertionSuccess();
}

// The exact squared distance from the origin to the farthest point, for
// points whose squares the long double holds exactly.
long double ExactSquare(const std::vector<TPoint>& points) {
  long double largest = 0;
  for (const TPoint& p : points) {
    const long double x = p.X, y = p.Y, z = p.Z;
    largest = std::max(largest, x * x + y * y + z * z);
  }
  return largest;
}

// Random points whose coordinates are integers of up to 20 bits times
// 2^shift (the same shift on every axis, less up to `spread` bits), so
// that every squared distance from the origin has at most 62 significant
// bits: exact in long double. `offset` moves them all away from the origin.
std::vector<TPoint> RandomPoints(std::mt19937& random, int count, int shift, int spread, float offset = 0) {
  std::uniform_int_distribution<int32_t> integer(-(1 << 20), 1 << 20);
  std::uniform_int_distribution<int> axisShift(0, spread);
  const int shifts[3] = {shift - axisShift(random), shift - axisShift(random), shift - axisShift(random)};
  std::vector<TPoint> points;
  for (int i = 0; i < count; ++i)
    points.push_back({std::ldexp(static_cast<float>(integer(random)) + offset, shifts[0]),
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

TEST(BoundingRadius, MeasuredFromTheOriginNotFromTheBoxCentre) {
  // A crate of 600 mm standing on the floor, its origin at the middle of its
  // base: the farthest corner lies sqrt(300^2 + 600^2 + 300^2) from the
  // origin, while half the box's diagonal is only sqrt(3) * 300.
  const std::vector<TPoint> crate = {{-300, 0, -300}, {300, 600, 300}, {300, 0, -300}, {-300, 600, 300}};
  const float radius = RadiusOf(crate);
  EXPECT_TRUE(IsSmallestFloatReaching(radius, 300.0L * 300 + 600.0L * 600 + 300.0L * 300));
  EXPECT_GT(radius, 734.8f);
  EXPECT_LT(CentreRadius(crate), 519.7f) << "half the diagonal, for comparison";
  // The box is the same as ever.
  const TMeshBounds box = BoundsOf(crate);
  EXPECT_EQ(box.MinX, -300.0f);
  EXPECT_EQ(box.MinY, 0.0f);
  EXPECT_EQ(box.MaxY, 600.0f);
  // A mesh centred on its origin keeps the radius it had (here an exact one).
  const std::vector<TPoint> centred = {{-3, -4, -12}, {3, 4, 12}, {3, -4, 12}};
  EXPECT_EQ(RadiusOf(centred), 13.0f);
  EXPECT_EQ(CentreRadius(centred), 13.0f);
  // A mesh far from its origin: a piece of a level 80 m out.
  const std::vector<TPoint> far = {{80000, 0, 80000}, {80010, 10, 80010}};
  EXPECT_GT(RadiusOf(far), 113150.0f);
}

TEST(BoundingRadius, ADistanceBetweenTwoFloatsRoundsUp) {
  // sqrt(8): the nearest float, 2.8284271, lies below it, so the sphere
  // would miss the corner (2, 2, 0) by a hair; the next float holds it.
  const float radius = RadiusOf({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}});
  EXPECT_TRUE(IsSmallestFloatReaching(radius, 8.0L));
  EXPECT_LT(static_cast<double>(static_cast<float>(std::sqrt(8.0))) * static_cast<float>(std::sqrt(8.0)), 8.0);
  EXPECT_EQ(radius, std::nextafter(static_cast<float>(std::sqrt(8.0)), 3.0f));
  // sqrt(1 + 2^-24): just above 1, far nearer 1 than 1 + 2^-23; rounded up
  // it is 1 + 2^-23.
  EXPECT_EQ(RadiusOf({{1, std::ldexp(1.0f, -12), 0}}), 1 + std::ldexp(1.0f, -23));
  // Exact distances stay as they are: (2, 3, 6) is 7 away, (1, 4, 8) 9.
  EXPECT_EQ(RadiusOf({{2, 3, 6}, {-1, 0, 0}}), 7.0f);
  EXPECT_EQ(RadiusOf({{-1, -4, 8}, {1, 1, 1}}), 9.0f);
}

TEST(BoundingRadius, NoVertexOrOnlyTheOriginHasRadiusZero) {
  EXPECT_EQ(RadiusOf({}), 0.0f);
  EXPECT_EQ(RadiusOf({{0, 0, 0}, {-0.0f, 0, -0.0f}}), 0.0f);
  // One point away from the origin is a sphere of its distance, not zero.
  EXPECT_EQ(RadiusOf({{5, 0, 0}, {5, 0, 0}}), 5.0f);
}

TEST(BoundingRadius, ExactRadiiOfHugeMeshesAreWrittenExactly) {
  // (3, 4, 12) from the origin: 13, at every scale that a float holds.
  for (const int shift : {-140, -100, 0, 40, 60, 63, 64, 80, 100, 120, 123}) {
    const float a = std::ldexp(3.0f, shift), b = std::ldexp(4.0f, shift), c = std::ldexp(12.0f, shift);
    const std::vector<TPoint> mesh = {{a, b, c}, {a / 2, 0, 0}, {a, -b, c}};
    EXPECT_EQ(RadiusOf(mesh), std::ldexp(13.0f, shift)) << shift;
  }
}

TEST(BoundingRadius, RandomMeshesGetTheRadiusRoundedUp) {
  if (!kLongDoubleHas64Bits) GTEST_SKIP() << "long double is not exact enough here to check against";
  std::mt19937 random(20240611);
  // Scales around 1, 1e19, 1e30 and 1e38, meshes around and off the origin.
  for (const int shift : {-20, 0, 43, 44, 80, 100, 106}) {
    for (int round = 0; round < 200; ++round) {
      const float offset = round % 2 == 0 ? 0.0f : 3e5f;
      const std::vector<TPoint> mesh = RandomPoints(random, 1 + round % 7, shift, round % 3 == 0 ? 8 : 0, offset);
      const float radius = RadiusOf(mesh);
      ASSERT_TRUE(std::isfinite(radius));
      ASSERT_TRUE(IsSmallestFloatReaching(radius, ExactSquare(mesh))) << "scale 2^" << shift << ", round " << round;
    }
  }
}

TEST(BoundingRadius, BeyondTheLargestFloatTheRadiusIsTheLargestFloat) {
  EXPECT_EQ(RadiusOf({{-FLT_MAX, 0, 0}, {0, 0, 0}}), FLT_MAX);
  // The corner (FLT_MAX, FLT_MAX, FLT_MAX) lies FLT_MAX * sqrt(3) away, which
  // no float holds. Decided: FLT_MAX, the largest finite float, not infinity.
  EXPECT_EQ(RadiusOf({{FLT_MAX, -FLT_MAX, FLT_MAX}}), FLT_MAX);
  // Just beyond FLT_MAX: rounding up would give infinity; still FLT_MAX.
  EXPECT_EQ(RadiusOf({{FLT_MAX, 1e30f, 0}}), FLT_MAX);
}

TEST(BoundingRadius, AtTheBottomOfTheSubnormals) {
  const float tiny = std::numeric_limits<float>::denorm_min();  // 2^-149
  EXPECT_EQ(RadiusOf({{tiny, 0, 0}}), tiny);
  // sqrt(2) * 2^-149 rounds up to 2 * 2^-149; sqrt(3) * 2^-149 too.
  EXPECT_EQ(RadiusOf({{tiny, tiny, 0}}), 2 * tiny);
  EXPECT_EQ(RadiusOf({{tiny, -tiny, tiny}}), 2 * tiny);
}

TEST(BoundingRadius, DoubleIsNotEnough) {
  // (1, 2^-40, 0) lies sqrt(1 + 2^-80) away: above 1 by far less than
  // double's last place, so a root taken in double is exactly 1, and the
  // sphere would miss the vertex. Rounded up exactly it is 1 + 2^-23.
  const std::vector<TPoint> mesh = {{1, std::ldexp(1.0f, -40), 0}, {0.5f, 0, 0}};
  EXPECT_EQ(RadiusOf(mesh), 1 + std::ldexp(1.0f, -23));
  const double y = std::ldexp(1.0, -40);
  EXPECT_EQ(std::sqrt(1 + y * y), 1.0) << "what double alone gives";
}

TEST(BoundingRadius, TheFarthestVertexIsChosenExactlyAmongNearTies) {
  // (1, 0, 0) first, exactly 1 away; (0, 1, 2^-40) after it, a hair farther:
  // the approximations cannot tell them apart, the exact measure can.
  const std::vector<TPoint> mesh = {{1, 0, 0}, {0.5f, 0.5f, 0}, {0, 1, std::ldexp(1.0f, -40)}, {0, 0, 1}};
  EXPECT_EQ(RadiusOf(mesh), 1 + std::ldexp(1.0f, -23));
  // The same in several sub-meshes.
  EXPECT_EQ(BoundsOf(mesh, 1).Radius, 1 + std::ldexp(1.0f, -23));
  // Without that vertex, 1 exactly.
  EXPECT_EQ(RadiusOf({{1, 0, 0}, {0.5f, 0.5f, 0}, {0, 0, 1}}), 1.0f);
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
    // The farthest vertex by exact measures of all of them.
    TFarthestVertex::TExactSquare largest;
    for (const TPoint& p : mesh) {
      const float point[3] = {p.X, p.Y, p.Z};
      const TFarthestVertex::TExactSquare square = ExactSquaredLength(point);
      for (int i = 17; i >= 0; --i)
        if (square.Limbs[i] != largest.Limbs[i]) {
          if (square.Limbs[i] > largest.Limbs[i]) largest = square;
          break;
        }
    }
    const float radius = RadiusOf(mesh);
    ASSERT_EQ(radius, RoundedUpRoot(largest)) << "round " << round;
    ASSERT_TRUE(std::isfinite(radius));
  }
}

TEST(BoundingRadius, OnlyNearTiesAreMeasuredExactly) {
  // A fan of points at many distances: only the farthest is measured exactly.
  std::vector<TPoint> mesh;
  for (int i = 0; i < 1000; ++i) mesh.push_back({static_cast<float>(i), static_cast<float>(i % 17), 0});
  TFarthestVertex farthest;
  for (const TPoint& p : mesh) farthest.Measure(p.X, p.Y, p.Z);
  for (const TPoint& p : mesh) farthest.Confirm(p.X, p.Y, p.Z);
  EXPECT_LE(farthest.ExactMeasures(), 2u);
  EXPECT_EQ(farthest.Radius(), RadiusOf(mesh));
}

TEST(BoundingRadius, TheBinaryMeshCarriesTheExactRadius) {
  // The XML form has no bounds (OGRE's converter computes its own); the
  // binary form writes the one MeshBounds gives.
  TTempDir dir;
  for (const float scale : {1.0f, 1e19f, 1e30f, FLT_MAX / 13}) {
    // 3, 4 and 12 times the scale, each rounded to a float: the squared
    // radius, of 24-bit squares close in magnitude, is exact in long double.
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
      EXPECT_TRUE(IsSmallestFloatReaching(radius, ExactSquare(points))) << scale;
    }
  }
}
