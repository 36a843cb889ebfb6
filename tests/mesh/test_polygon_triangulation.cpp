// The triangles of one polygon: the fan for convex polygons, ear clipping by
// the written rule for polygons with a notch. Hand-worked expectations for
// small polygons, then properties over random simple polygons, checked with
// integer coordinates so that every area below is exact in double.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "mesh/PolygonTriangulation.h"

namespace {

using TTriangles = std::vector<TCornerTriangle>;

// A polygon in the plane z = 0 from (x, y) pairs.
std::vector<TCornerPosition> Flat(const std::vector<std::pair<float, float>>& points) {
  std::vector<TCornerPosition> corners;
  for (const auto& [x, y] : points) corners.push_back({x, y, 0});
  return corners;
}

TTriangles Triangulate(const std::vector<TCornerPosition>& corners) {
  TTriangles triangles;
  TTriangulationScratch scratch;
  TriangulatePolygon(corners, triangles, scratch);
  return triangles;
}

TTriangles Fan(int n) {
  TTriangles fan;
  for (int t = 0; t + 2 < n; ++t) fan.push_back({t + 2, t + 1, 0});
  return fan;
}

// Corner i seen along the axis (0, 1, 2 for x, y, z): (Y, Z), (Z, X) or (X, Y).
std::pair<double, double> Seen(const std::vector<TCornerPosition>& c, int axis, int i) {
  const TCornerPosition& k = c[static_cast<std::size_t>(i)];
  return axis == 0 ? std::pair<double, double>{k.Y, k.Z}
         : axis == 1 ? std::pair<double, double>{k.Z, k.X}
                     : std::pair<double, double>{k.X, k.Y};
}

// Twice the signed area of corners (a, b, d) seen along the axis.
double Cross2(const std::vector<TCornerPosition>& c, int axis, int a, int b, int d) {
  const auto [pa, qa] = Seen(c, axis, a);
  const auto [pb, qb] = Seen(c, axis, b);
  const auto [pd, qd] = Seen(c, axis, d);
  return (pb - pa) * (qd - qb) - (qb - qa) * (pd - pb);
}

double TwiceArea(const std::vector<TCornerPosition>& c, int axis) {
  double sum = 0;
  for (int i = 1; i + 1 < static_cast<int>(c.size()); ++i) sum += Cross2(c, axis, 0, i, i + 1);
  return sum;
}

// The triangles tile the polygon: n - 2 of them, every one facing as the
// polygon faces (the corners of each, reversed back, turn the polygon's way),
// and their areas add up to the polygon's.
::testing::AssertionResult TilesThePolygon(const std::vector<TCornerPosition>& c, int axis, const TTriangles& t) {
  if (t.size() != c.size() - 2) return ::testing::AssertionFailure() << t.size() << " triangles";
  const double polygon = TwiceArea(c, axis);
  double sum = 0;
  for (const TCornerTriangle& triangle : t) {
    const double area = Cross2(c, axis, triangle[2], triangle[1], triangle[0]);
    if (area * polygon < 0)
      return ::testing::AssertionFailure() << "triangle (" << triangle[0] << ", " << triangle[1] << ", "
                                           << triangle[2] << ") faces backwards";
    sum += std::fabs(area);
  }
  if (sum != std::fabs(polygon)) return ::testing::AssertionFailure() << "areas " << sum << " != " << polygon;
  return ::testing::AssertionSuccess();
}

// The rule exactly as written, the plain way: every scan from the front,
// every other corner tried for each ear.
TTriangles ByTheRule(const std::vector<TCornerPosition>& c) {
  const std::size_t n = c.size();
  std::vector<int32_t> l(n);
  for (std::size_t i = 0; i < n; ++i) l[i] = static_cast<int32_t>(i);
  if (n <= 3) return n == 3 ? Fan(3) : TTriangles{};
  double nx = 0, ny = 0, nz = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const TCornerPosition &prev = c[(i + n - 1) % n], &cur = c[i];
    nx += (double(prev.Z) + cur.Z) * (double(cur.Y) - prev.Y);
    ny += (double(prev.X) + cur.X) * (double(cur.Z) - prev.Z);
    nz += (double(prev.Y) + cur.Y) * (double(cur.X) - prev.X);
  }
  const int axis = std::fabs(nx) >= std::fabs(ny) && std::fabs(nx) >= std::fabs(nz) ? 0
                   : std::fabs(ny) >= std::fabs(nz)                                ? 1
                                                                                   : 2;
  double shoelace = 0;
  const auto p = [&](int32_t i) { return Seen(c, axis, i).first; };
  const auto q = [&](int32_t i) { return Seen(c, axis, i).second; };
  for (std::size_t i = 0; i < n; ++i) {
    const auto a = static_cast<int32_t>(i), b = static_cast<int32_t>((i + 1) % n);
    shoelace += p(a) * q(b) - p(b) * q(a);
  }
  const double sigma = shoelace > 0 ? 1 : shoelace < 0 ? -1 : 0;
  const auto cross = [&](int32_t u, int32_t v, int32_t w) {
    return sigma * ((p(v) - p(u)) * (q(w) - q(v)) - (q(v) - q(u)) * (p(w) - p(v)));
  };
  bool convex = true;
  for (std::size_t i = 0; i < n; ++i) convex = convex && cross(l[(i + n - 1) % n], l[i], l[(i + 1) % n]) >= 0;
  if (convex) return Fan(static_cast<int>(n));
  TTriangles out;
  while (l.size() > 3) {
    const std::size_t m = l.size();
    bool clipped = false;
    for (std::size_t k = 0; k < m && !clipped; ++k) {
      const int32_t a = l[(k + m - 1) % m], b = l[k], d = l[(k + 1) % m];
      if (!(cross(a, b, d) > 0)) continue;
      bool empty = true;
      for (std::size_t r = 0; r < m; ++r)
        if (r != k && r != (k + m - 1) % m && r != (k + 1) % m && cross(a, b, l[r]) >= 0 &&
            cross(b, d, l[r]) >= 0 && cross(d, a, l[r]) >= 0)
          empty = false;
      if (!empty) continue;
      out.push_back({d, b, a});
      l.erase(l.begin() + static_cast<std::ptrdiff_t>(k));
      clipped = true;
    }
    if (!clipped) {
      for (std::size_t t = 0; t + 2 < l.size(); ++t) out.push_back({l[t + 2], l[t + 1], l[0]});
      return out;
    }
  }
  out.push_back({l[2], l[1], l[0]});
  return out;
}

}  // namespace

TEST(PolygonTriangulation, ConvexPolygonsAreFannedAsEver) {
  EXPECT_EQ(Triangulate(Flat({{0, 0}, {0, 1}, {1, 0}})), Fan(3));
  EXPECT_EQ(Triangulate(Flat({{0, 0}, {0, 1}, {1, 1}, {1, 0}})), Fan(4));
  // Either winding, and a straight corner (collinear neighbours) is no notch.
  EXPECT_EQ(Triangulate(Flat({{0, 0}, {1, 0}, {1, 1}, {0, 1}})), Fan(4));
  EXPECT_EQ(Triangulate(Flat({{0, 0}, {0, 1}, {0, 2}, {2, 2}, {2, 0}})), Fan(5));
  // A regular octagon in a tilted plane.
  std::vector<TCornerPosition> octagon;
  for (int i = 0; i < 8; ++i) {
    const double angle = -i * std::numbers::pi / 4;
    octagon.push_back({static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)),
                       static_cast<float>(0.3 * std::cos(angle) + 2)});
  }
  EXPECT_EQ(Triangulate(octagon), Fan(8));
}

TEST(PolygonTriangulation, ADartIsCutAtItsNotch) {
  // A(0,0) B(2,3) C(4,0) D(2,1), clockwise seen from +z as the editor draws:
  // the fan's (2,1,0) would cover the notch at D and (3,2,0) face backwards.
  const auto dart = Flat({{0, 0}, {2, 3}, {4, 0}, {2, 1}});
  const TTriangles triangles = Triangulate(dart);
  // A is the first ear (D, A, B); then B, C, D are left.
  EXPECT_EQ(triangles, (TTriangles{{1, 0, 3}, {3, 2, 1}}));
  EXPECT_TRUE(TilesThePolygon(dart, 2, triangles));
  EXPECT_FALSE(TilesThePolygon(dart, 2, Fan(4))) << "the fan, for comparison";
}

TEST(PolygonTriangulation, LShapesCombsAndRepeatedPositions) {
  // An L whose first corner cannot see the far arm: the fan would leave it.
  const auto l = Flat({{0, 3}, {1, 3}, {1, 1}, {3, 1}, {3, 0}, {0, 0}});
  EXPECT_TRUE(TilesThePolygon(l, 2, Triangulate(l)));
  EXPECT_FALSE(TilesThePolygon(l, 2, Fan(6)));
  // A comb with three notches, in the plane x = 5.
  std::vector<TCornerPosition> comb;
  for (const auto& [y, z] : std::vector<std::pair<float, float>>{
           {0, 0}, {0, 4}, {1, 4}, {1, 1}, {2, 1}, {2, 4}, {3, 4}, {3, 1}, {4, 1}, {4, 4}, {5, 4}, {5, 0}})
    comb.push_back({5, y, z});
  const TTriangles combTriangles = Triangulate(comb);
  EXPECT_TRUE(TilesThePolygon(comb, 0, combTriangles));
  EXPECT_FALSE(TilesThePolygon(comb, 0, Fan(12)));
  // A corner given twice is a straight corner: a convex polygon stays a fan.
  const auto square = Flat({{0, 0}, {0, 1}, {0, 1}, {1, 1}, {1, 0}});
  EXPECT_EQ(Triangulate(square), Fan(5));
  EXPECT_TRUE(TilesThePolygon(square, 2, Fan(5)));
  // In a dart, the twin of a corner lies on every triangle that the corner
  // is part of, so no ear can be cut there: the rule then fans what is left,
  // here the whole dart, as other tools that follow it do.
  EXPECT_EQ(Triangulate(Flat({{0, 0}, {2, 3}, {2, 3}, {4, 0}, {2, 1}})), Fan(5));
  // A twin away from the notch leaves the ears that do not touch it.
  const auto twin = Flat({{2, 1}, {0, 0}, {0, 0}, {2, 3}, {4, 0}});
  EXPECT_TRUE(TilesThePolygon(twin, 2, Triangulate(twin)));
}

TEST(PolygonTriangulation, ABowTieIsFanned) {
  // Self-intersecting: its shoelace sum is 0, so it counts as convex.
  EXPECT_EQ(Triangulate(Flat({{0, 0}, {2, 2}, {2, 0}, {0, 2}})), Fan(4));
  // One that is not balanced is cut as far as ears go and the rest fanned,
  // as the plain rule does, and every corner is still used.
  const auto twisted = Flat({{0, 0}, {3, 3}, {3, 0}, {0, 1}, {-1, 2}});
  const TTriangles triangles = Triangulate(twisted);
  EXPECT_EQ(triangles, ByTheRule(twisted));
  for (int32_t corner = 0; corner < 5; ++corner)
    EXPECT_TRUE(std::any_of(triangles.begin(), triangles.end(), [&](const TCornerTriangle& t) {
      return t[0] == corner || t[1] == corner || t[2] == corner;
    })) << corner;
}

TEST(PolygonTriangulation, RandomSimplePolygonsAreTiledFacingTheirWay) {
  // Star-shaped polygons around the origin: corners at increasing angles
  // (gaps below half a turn) and random distances, rounded to integers; in
  // each of the three coordinate planes and in both windings.
  std::mt19937 random(20261209);
  std::uniform_real_distribution<double> jitter(0, 0.5);
  std::uniform_int_distribution<int> radius(50, 1000);
  int reflex = 0;
  for (int round = 0; round < 3000; ++round) {
    const int n = 4 + round % 12;
    std::vector<std::pair<float, float>> points;
    for (int i = 0; i < n; ++i) {
      const double angle = (i + jitter(random)) * 2 * std::numbers::pi / n;
      const double r = radius(random);
      points.push_back({static_cast<float>(std::lround(r * std::cos(angle))),
                        static_cast<float>(std::lround(r * std::sin(angle)))});
    }
    if (round % 2 == 1) std::reverse(points.begin(), points.end());
    const int axis = round % 3;
    std::vector<TCornerPosition> corners;
    for (const auto& [p, q] : points)
      corners.push_back(axis == 0 ? TCornerPosition{7, p, q} : axis == 1 ? TCornerPosition{q, 7, p} : TCornerPosition{p, q, 7});
    const TTriangles triangles = Triangulate(corners);
    ASSERT_TRUE(TilesThePolygon(corners, axis, triangles)) << "round " << round;
    if (triangles != Fan(n)) ++reflex;
  }
  EXPECT_GT(reflex, 1000) << "most random star polygons have a notch";
}

TEST(PolygonTriangulation, EveryPolygonGetsWhatThePlainRuleGives) {
  // Random polygons of every kind, simple or crossing themselves, with
  // repeated and collinear corners, in tilted planes: the quick search for
  // ears finds the very ears the plain scan from the front finds.
  std::mt19937 random(7);
  std::uniform_int_distribution<int> coordinate(0, 6), size(4, 40), plane(0, 3);
  for (int round = 0; round < 4000; ++round) {
    const int n = size(random);
    const int tilt = plane(random);
    std::vector<TCornerPosition> corners;
    for (int i = 0; i < n; ++i) {
      const auto x = static_cast<float>(coordinate(random)), y = static_cast<float>(coordinate(random));
      corners.push_back({x, y, tilt == 0 ? 0.0f : static_cast<float>(tilt) * 0.25f * x + 0.5f * y});
    }
    ASSERT_EQ(Triangulate(corners), ByTheRule(corners)) << "round " << round;
  }
  // Star polygons of many corners, where the quick search matters.
  std::uniform_int_distribution<int> radius(50, 1000);
  for (int round = 0; round < 20; ++round) {
    const int n = 200 + 37 * round;
    std::vector<TCornerPosition> corners;
    for (int i = 0; i < n; ++i) {
      const double angle = i * 2 * std::numbers::pi / n, r = radius(random);
      corners.push_back({static_cast<float>(std::lround(r * std::cos(angle))),
                         static_cast<float>(std::lround(r * std::sin(angle))), 3});
    }
    ASSERT_EQ(Triangulate(corners), ByTheRule(corners)) << "star of " << n;
  }
}
