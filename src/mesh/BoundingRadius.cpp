#include "mesh/BoundingRadius.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

// Why the first pass may be trusted (u = 2^-53, the unit roundoff of double;
// W = max - min on an axis, W_max the largest of the three):
//
// - The centre c = (min + max) / 2 is held exactly as High + Low: the sum of
//   two doubles is split into its rounded value and its error (TwoSum), and
//   halving is exact. Low is not 0 only when min + max is inexact in double,
//   which for two floats needs exponents 29 or more apart; then the larger
//   magnitude is nearly all of W, and |Low| <= u |min + max| / 2 <= 0.51 u W.
// - A vertex v in the box has |v - c| <= W / 2. The difference
//   d' = fl(fl(v - High) - Low) is two roundings away from d = v - c:
//   |d' - d| <= u |v - High| + u |fl(v - High) - Low| <= 1.01 u W.
// - So |d'^2 - d^2| <= 1.01 u W (2 |d| + 1.01 u W) <= 1.02 u W^2 per axis,
//   3.06 u W_max^2 for the three; rounding the three squares and the two
//   additions of non-negative numbers adds at most 3.01 u of the sum of the
//   d'^2, each below 0.26 W_max^2: 2.26 u W_max^2. Together below 5.4 u W_max^2.
// - The bound used is 16 u W'^2, with W' = fl(max - min) >= (1 - u) W: three
//   times what is needed. No step leaves double's normal range: differences
//   lie between 2^-150 and 2^129 in magnitude, squares between 2^-300 and 2^258.
//
// The farthest vertex's exact square S* is at least q* - E, where q* is the
// largest approximate square and E the bound; a vertex whose approximation is
// below q* - 2E has an exact square below q* - E <= S*, so it cannot be the
// farthest. Only the others are measured exactly.

namespace {

using TWide = TFarthestVertex::TExactSquare;
constexpr int kLimbs = 18;

// A float as sign, integer significand and shift: |f| = Significand * 2^(Shift - 149).
struct TFloatParts {
  bool Negative;
  uint32_t Significand;
  int Shift;
};

TFloatParts Parts(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const int exponent = static_cast<int>((bits >> 23) & 0xFF);
  const uint32_t fraction = bits & 0x7FFFFF;
  if (exponent == 0) return {(bits >> 31) != 0, fraction, 0};  // zero or subnormal
  return {(bits >> 31) != 0, fraction | 0x800000, exponent - 1};
}

// Adds (or subtracts) significand * 2^shift to the number, modulo 2^576:
// two's complement, so that a signed sum comes out right.
void AddShifted(TWide& number, uint32_t significand, int shift, bool subtract) {
  const std::size_t limb = static_cast<std::size_t>(shift / 32);
  const uint64_t value = static_cast<uint64_t>(significand) << (shift % 32);
  const uint32_t parts[2] = {static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)};
  uint64_t carry = 0;  // the carry, or the borrow when subtracting
  for (std::size_t i = limb; i < kLimbs; ++i) {
    const uint64_t part = i - limb < 2 ? parts[i - limb] : 0;
    if (part == 0 && carry == 0 && i - limb >= 2) break;
    const uint64_t current = number.Limbs[i];
    if (!subtract) {
      const uint64_t sum = current + part + carry;
      number.Limbs[i] = static_cast<uint32_t>(sum);
      carry = sum >> 32;
    } else {
      const uint64_t taken = part + carry;
      number.Limbs[i] = static_cast<uint32_t>(current - taken);
      carry = current < taken ? 1 : 0;
    }
  }
}

void AddFloat(TWide& number, float value, int factorShift, bool subtract) {
  const TFloatParts parts = Parts(value);
  if (parts.Significand == 0) return;
  AddShifted(number, parts.Significand, parts.Shift + factorShift, subtract != parts.Negative);
}

// The absolute value of a two's-complement number.
void MakeAbsolute(TWide& number) {
  if ((number.Limbs[kLimbs - 1] >> 31) == 0) return;
  uint64_t carry = 1;
  for (uint32_t& limb : number.Limbs) {
    const uint64_t sum = static_cast<uint64_t>(static_cast<uint32_t>(~limb)) + carry;
    limb = static_cast<uint32_t>(sum);
    carry = sum >> 32;
  }
}

// The square of a number below 2^288 (its upper nine limbs zero).
TWide Square(const TWide& number) {
  constexpr int kHalf = kLimbs / 2;
  TWide square;
  for (int i = 0; i < kHalf; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < kHalf; ++j) {
      const uint64_t t = static_cast<uint64_t>(square.Limbs[i + j]) +
                         static_cast<uint64_t>(number.Limbs[i]) * number.Limbs[j] + carry;
      square.Limbs[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    square.Limbs[i + kHalf] = static_cast<uint32_t>(carry);
  }
  return square;
}

void Add(TWide& sum, const TWide& term) {
  uint64_t carry = 0;
  for (int i = 0; i < kLimbs; ++i) {
    const uint64_t t = static_cast<uint64_t>(sum.Limbs[i]) + term.Limbs[i] + carry;
    sum.Limbs[i] = static_cast<uint32_t>(t);
    carry = t >> 32;
  }
}

int Compare(const TWide& a, const TWide& b) {
  for (int i = kLimbs - 1; i >= 0; --i)
    if (a.Limbs[i] != b.Limbs[i]) return a.Limbs[i] < b.Limbs[i] ? -1 : 1;
  return 0;
}

bool IsZero(const TWide& number) {
  for (const uint32_t limb : number.Limbs)
    if (limb != 0) return false;
  return true;
}

// The value, approximately (a relative error of a few units of double).
double ToDouble(const TWide& number) {
  double value = 0;
  for (int i = kLimbs - 1; i >= 0; --i) value = value * 4294967296.0 + number.Limbs[i];
  return value;
}

// The exact square of the midpoint between two non-negative floats, times 2^300:
// the midpoint times 2^150 is the sum of the two floats times 2^149.
TWide MidpointSquare(float a, float b) {
  TWide midpoint;
  AddFloat(midpoint, a, 0, false);
  AddFloat(midpoint, b, 0, false);
  return Square(midpoint);
}

bool IsOdd(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & 1) != 0;
}

}  // namespace

TFarthestVertex::TExactSquare ExactSquaredDistance(const float min[3], const float max[3], const float point[3]) {
  // The difference from the centre, times 2^150, is 2 point - min - max in
  // units of 2^-149: an integer below 2^278 in magnitude. Its square is
  // below 2^556, the sum of three below 2^558.
  TWide sum;
  for (int axis = 0; axis < 3; ++axis) {
    TWide difference;
    AddFloat(difference, point[axis], 1, false);
    AddFloat(difference, min[axis], 0, true);
    AddFloat(difference, max[axis], 0, true);
    MakeAbsolute(difference);
    Add(sum, Square(difference));
  }
  return sum;
}

float RoundedRoot(const TFarthestVertex::TExactSquare& square) {
  if (IsZero(square)) return 0;
  constexpr float kLargest = std::numeric_limits<float>::max();
  // A candidate within a unit or two of the last place...
  const double estimate = std::ldexp(std::sqrt(ToDouble(square)), -150);
  float radius = estimate >= static_cast<double>(kLargest) ? kLargest : static_cast<float>(estimate);
  // ...moved until the exact root lies between the midpoints to its
  // neighbours; on a midpoint the even one of the two wins.
  for (;;) {
    if (radius > 0) {
      const float below = std::nextafter(radius, 0.0f);
      const int order = Compare(square, MidpointSquare(below, radius));
      if (order < 0 || (order == 0 && IsOdd(radius))) {
        radius = below;
        continue;
      }
    }
    // Beyond FLT_MAX's lower midpoint the radius is FLT_MAX, also where
    // rounding would give infinity.
    if (radius < kLargest) {
      const float above = std::nextafter(radius, kLargest);
      const int order = Compare(square, MidpointSquare(radius, above));
      if (order > 0 || (order == 0 && IsOdd(radius))) {
        radius = above;
        continue;
      }
    }
    return radius;
  }
}

TFarthestVertex::TFarthestVertex(const TMeshBounds& box)
    : FMin{box.MinX, box.MinY, box.MinZ}, FMax{box.MaxX, box.MaxY, box.MaxZ} {
  double widest = 0;
  for (int axis = 0; axis < 3; ++axis) {
    const double low = FMin[axis], high = FMax[axis];
    // TwoSum: the rounded sum and its exact error.
    const double sum = low + high;
    const double highPart = sum - low;
    const double error = (low - (sum - highPart)) + (high - highPart);
    FCentreHigh[axis] = sum / 2;
    FCentreLow[axis] = error / 2;
    widest = std::max(widest, high - low);
  }
  FDegenerate = widest == 0;
  FError = 16 * std::ldexp(widest * widest, -53);
}

void TFarthestVertex::ConfirmExactly(float x, float y, float z) {
  // Welded vertices repeat positions (a corner with three normals).
  if (FConfirmed && x == FBest[0] && y == FBest[1] && z == FBest[2]) return;
  ++FExactMeasures;
  const float point[3] = {x, y, z};
  const TExactSquare square = ExactSquaredDistance(FMin, FMax, point);
  if (!FConfirmed || Compare(square, FBestSquare) > 0) {
    FBestSquare = square;
    FBest[0] = x, FBest[1] = y, FBest[2] = z;
    FConfirmed = true;
  }
}

float TFarthestVertex::Radius() const { return FDegenerate || !FConfirmed ? 0.0f : RoundedRoot(FBestSquare); }

TMeshBounds MeshBounds(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes) {
  TMeshBounds bounds;
  bool first = true;
  for (const auto& subMesh : subMeshes)
    for (const QZOgreVertexT& v : subMesh->Vertices) {
      if (first) {
        bounds.MinX = bounds.MaxX = v.X;
        bounds.MinY = bounds.MaxY = v.Y;
        bounds.MinZ = bounds.MaxZ = v.Z;
        first = false;
        continue;
      }
      bounds.MinX = std::min(bounds.MinX, v.X);
      bounds.MinY = std::min(bounds.MinY, v.Y);
      bounds.MinZ = std::min(bounds.MinZ, v.Z);
      bounds.MaxX = std::max(bounds.MaxX, v.X);
      bounds.MaxY = std::max(bounds.MaxY, v.Y);
      bounds.MaxZ = std::max(bounds.MaxZ, v.Z);
    }
  if (first) return bounds;  // no vertex: all zeros
  // The exact distance from the box's exact centre to the farthest vertex,
  // rounded once: finite for every mesh of finite coordinates (see BoundingRadius.h).
  TFarthestVertex farthest(bounds);
  for (const auto& subMesh : subMeshes)
    for (const QZOgreVertexT& v : subMesh->Vertices) farthest.Measure(v.X, v.Y, v.Z);
  for (const auto& subMesh : subMeshes)
    for (const QZOgreVertexT& v : subMesh->Vertices) farthest.Confirm(v.X, v.Y, v.Z);
  bounds.Radius = farthest.Radius();
  return bounds;
}
