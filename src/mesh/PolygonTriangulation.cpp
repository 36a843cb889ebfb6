#include "mesh/PolygonTriangulation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <queue>

namespace {

// Twice the signed area of the projected triangle (U, V, W), in the order
// the rule writes it.
double Cross(const TTriangulationScratch& s, int32_t u, int32_t v, int32_t w) {
  const auto U = static_cast<std::size_t>(u), V = static_cast<std::size_t>(v), W = static_cast<std::size_t>(w);
  return (s.P[V] - s.P[U]) * (s.Q[W] - s.Q[V]) - (s.Q[V] - s.Q[U]) * (s.P[W] - s.P[V]);
}

void Fan(const int32_t* corners, std::size_t count, std::vector<TCornerTriangle>& triangles) {
  for (std::size_t t = 0; t + 2 < count; ++t) triangles.push_back({corners[t + 2], corners[t + 1], corners[0]});
}

// Projects the corners along the axis of the largest Newell sum into scratch.P and .Q.
void Project(const std::vector<TCornerPosition>& corners, TTriangulationScratch& s) {
  // The face normal's sums, accumulated as the scene accumulates them.
  double nx = 0, ny = 0, nz = 0;
  const TCornerPosition* previous = &corners.back();
  for (const TCornerPosition& current : corners) {
    nx += (static_cast<double>(previous->Z) + current.Z) * (static_cast<double>(current.Y) - previous->Y);
    ny += (static_cast<double>(previous->X) + current.X) * (static_cast<double>(current.Z) - previous->Z);
    nz += (static_cast<double>(previous->Y) + current.Y) * (static_cast<double>(current.X) - previous->X);
    previous = &current;
  }
  const double ax = std::fabs(nx), ay = std::fabs(ny), az = std::fabs(nz);
  const int axis = ax >= ay && ax >= az ? 0 : ay >= az ? 1 : 2;
  s.P.resize(corners.size());
  s.Q.resize(corners.size());
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const TCornerPosition& c = corners[i];
    // Right-handed around the axis: (Y, Z) for x, (Z, X) for y, (X, Y) for z.
    s.P[i] = axis == 0 ? c.Y : axis == 1 ? c.Z : c.X;
    s.Q[i] = axis == 0 ? c.Z : axis == 1 ? c.X : c.Y;
  }
}


// The corners of the polygon on a grid of about one cell per corner, so that
// the corners that may lie in a small triangle are found without looking at
// all of them: a polygon of 100,000 corners is cut in well under a second.
class TCornerGrid {
public:
  explicit TCornerGrid(const TTriangulationScratch& s) {
    const auto [pLow, pHigh] = std::minmax_element(s.P.begin(), s.P.end());
    const auto [qLow, qHigh] = std::minmax_element(s.Q.begin(), s.Q.end());
    FLowP = *pLow, FLowQ = *qLow;
    const double width = *pHigh - FLowP, height = *qHigh - FLowQ;
    const double cells = static_cast<double>(s.P.size());
    // Square cells where the box has an area, a row or a column where it has none.
    double columns = 1, rows = 1;
    if (width > 0 && height > 0) {
      columns = std::clamp(std::sqrt(cells * width / height), 1.0, cells);
      rows = std::clamp(cells / columns, 1.0, cells);
    } else if (width > 0) {
      columns = cells;
    } else if (height > 0) {
      rows = cells;
    }
    FColumns = static_cast<std::size_t>(columns), FRows = static_cast<std::size_t>(rows);
    FCellP = width > 0 ? width / static_cast<double>(FColumns) : 1;
    FCellQ = height > 0 ? height / static_cast<double>(FRows) : 1;
    FCells.assign(FColumns * FRows, {});
    for (std::size_t i = 0; i < s.P.size(); ++i)
      FCells[Column(s.P[i]) + FColumns * Row(s.Q[i])].push_back(static_cast<int32_t>(i));
  }

  // Calls visit for every corner in the cells that the box touches, until it returns false.
  template <typename TVisit>
  void Visit(double lowP, double lowQ, double highP, double highQ, TVisit visit) const {
    for (std::size_t row = Row(lowQ); row <= Row(highQ); ++row)
      for (std::size_t column = Column(lowP); column <= Column(highP); ++column)
        for (const int32_t corner : FCells[column + FColumns * row])
          if (!visit(corner)) return;
  }

private:
  // Monotonic in the coordinate, so that a corner inside a box lies in one of the box's cells.
  std::size_t Column(double p) const { return Index(p - FLowP, FCellP, FColumns); }
  std::size_t Row(double q) const { return Index(q - FLowQ, FCellQ, FRows); }
  static std::size_t Index(double offset, double cell, std::size_t count) {
    const double index = std::floor(offset / cell);
    if (!(index > 0)) return 0;
    return std::min(count - 1, static_cast<std::size_t>(std::min(index, 1e18)));
  }

  double FLowP = 0, FLowQ = 0, FCellP = 1, FCellQ = 1;
  std::size_t FColumns = 1, FRows = 1;
  std::vector<std::vector<int32_t>> FCells;
};

// Ear clipping: the first corner of the remaining list that is an ear is cut
// off, and the search starts again at the front. Rather than look at every
// corner again after each cut, each corner found not to be an ear remembers
// why: it turns the wrong way (which only a change of its neighbours
// changes), or another corner lies in its triangle (which holds until that
// corner is cut off or the neighbours change). Only corners whose reason
// went away are looked at again, smallest number first; that finds the same
// ear as a search from the front would.
void ClipEars(TTriangulationScratch& s, double sigma, std::vector<TCornerTriangle>& triangles) {
  const auto n = static_cast<int32_t>(s.P.size());
  const auto at = [](int32_t i) { return static_cast<std::size_t>(i); };
  std::vector<int32_t> previous(at(n)), next(at(n));
  for (int32_t i = 0; i < n; ++i) {
    previous[at(i)] = i == 0 ? n - 1 : i - 1;
    next[at(i)] = i == n - 1 ? 0 : i + 1;
  }
  std::vector<bool> alive(at(n), true), queued(at(n), true);
  // For a corner not an ear because another lies in its triangle: that other one.
  std::vector<int32_t> blocker(at(n), -1);
  std::vector<std::vector<int32_t>> blocks(at(n));
  std::priority_queue<int32_t, std::vector<int32_t>, std::greater<>> candidates;
  for (int32_t i = 0; i < n; ++i) candidates.push(i);
  const auto requeue = [&](int32_t i) {
    if (alive[at(i)] && !queued[at(i)]) {
      queued[at(i)] = true;
      candidates.push(i);
    }
  };
  const TCornerGrid grid(s);
  int32_t first = 0, remaining = n;

  while (remaining > 3 && !candidates.empty()) {
    const int32_t b = candidates.top();
    candidates.pop();
    if (!alive[at(b)] || !queued[at(b)]) continue;
    queued[at(b)] = false;
    const int32_t a = previous[at(b)], c = next[at(b)];
    blocker[at(b)] = -1;
    if (!(sigma * Cross(s, a, b, c) > 0)) continue;
    int32_t inside = -1;
    const auto [lowP, highP] = std::minmax({s.P[at(a)], s.P[at(b)], s.P[at(c)]});
    const auto [lowQ, highQ] = std::minmax({s.Q[at(a)], s.Q[at(b)], s.Q[at(c)]});
    grid.Visit(lowP, lowQ, highP, highQ, [&](int32_t r) {
      if (!alive[at(r)] || r == a || r == b || r == c) return true;
      if (sigma * Cross(s, a, b, r) >= 0 && sigma * Cross(s, b, c, r) >= 0 && sigma * Cross(s, c, a, r) >= 0)
        inside = r;
      return inside < 0;
    });
    if (inside >= 0) {
      blocker[at(b)] = inside;
      blocks[at(inside)].push_back(b);
      continue;
    }
    // An ear: cut it off; its neighbours' triangles change, and the corners
    // it kept from being ears may be ears now.
    triangles.push_back({c, b, a});
    alive[at(b)] = false;
    --remaining;
    next[at(a)] = c;
    previous[at(c)] = a;
    if (b == first) first = c;
    requeue(a);
    requeue(c);
    for (const int32_t waiting : blocks[at(b)])
      if (blocker[at(waiting)] == b) requeue(waiting);
    blocks[at(b)].clear();
  }

  // The rest in list order from the front: the last three, or what no ear
  // could be cut from, fanned.
  std::vector<int32_t>& rest = s.Remaining;
  rest.clear();
  for (int32_t i = first;; i = next[at(i)]) {
    rest.push_back(i);
    if (next[at(i)] == first) break;
  }
  Fan(rest.data(), rest.size(), triangles);
}

}  // namespace

void TriangulatePolygon(const std::vector<TCornerPosition>& corners, std::vector<TCornerTriangle>& triangles,
                        TTriangulationScratch& s) {
  triangles.clear();
  const std::size_t n = corners.size();
  std::vector<int32_t>& list = s.Remaining;
  list.resize(n);
  for (std::size_t i = 0; i < n; ++i) list[i] = static_cast<int32_t>(i);
  if (n <= 3) {
    Fan(list.data(), n, triangles);
    return;
  }

  Project(corners, s);
  double shoelace = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t next = i + 1 == n ? 0 : i + 1;
    shoelace += s.P[i] * s.Q[next] - s.P[next] * s.Q[i];
  }
  const double sigma = shoelace > 0 ? 1 : shoelace < 0 ? -1 : 0;

  bool convex = true;
  for (std::size_t i = 0; i < n && convex; ++i)
    convex = sigma * Cross(s, list[(i + n - 1) % n], list[i], list[(i + 1) % n]) >= 0;
  if (convex) {
    Fan(list.data(), n, triangles);
    return;
  }

  ClipEars(s, sigma, triangles);
}
