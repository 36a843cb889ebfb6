#include "mesh/BoundingRadius.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using TWide = TFarthestVertex::TExactSquare;
constexpr int kLimbs = 18;

// The magnitude of a float as an integer significand and shift:
// |f| = Significand * 2^(Shift - 149).
struct TFloatParts {
  uint32_t Significand;
  int Shift;
};

TFloatParts Parts(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const int exponent = static_cast<int>((bits >> 23) & 0xFF);
  const uint32_t fraction = bits & 0x7FFFFF;
  if (exponent == 0) return {fraction, 0};  // zero or subnormal
  return {fraction | 0x800000, exponent - 1};
}

// The magnitude of a float times 2^150: an integer below 2^278.
TWide Scaled(float value) {
  TWide number;
  const TFloatParts parts = Parts(value);
  const int shift = parts.Shift + 1;
  const std::size_t limb = static_cast<std::size_t>(shift / 32);
  const uint64_t scaled = static_cast<uint64_t>(parts.Significand) << (shift % 32);
  number.Limbs[limb] = static_cast<uint32_t>(scaled);
  if (limb + 1 < kLimbs) number.Limbs[limb + 1] = static_cast<uint32_t>(scaled >> 32);
  return number;
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

// The exact square of a float, times 2^300.
TWide FloatSquare(float value) { return Square(Scaled(value)); }

}  // namespace

TFarthestVertex::TExactSquare ExactSquaredLength(const float point[3]) {
  // Each coordinate times 2^150 is an integer below 2^278 in magnitude; its
  // square is below 2^556, the sum of three below 2^558.
  TWide sum;
  for (int axis = 0; axis < 3; ++axis) Add(sum, FloatSquare(point[axis]));
  return sum;
}

float RoundedUpRoot(const TFarthestVertex::TExactSquare& square) {
  if (IsZero(square)) return 0;
  constexpr float kLargest = std::numeric_limits<float>::max();
  // A candidate within a unit or two of the last place...
  const double estimate = std::ldexp(std::sqrt(ToDouble(square)), -150);
  float radius = estimate >= static_cast<double>(kLargest) ? kLargest : static_cast<float>(estimate);
  // ...lowered while the float below it still reaches the exact root...
  while (radius > 0 && Compare(FloatSquare(std::nextafter(radius, 0.0f)), square) >= 0)
    radius = std::nextafter(radius, 0.0f);
  // ...and raised until it reaches it; beyond FLT_MAX the radius stays FLT_MAX.
  while (radius < kLargest && Compare(FloatSquare(radius), square) < 0) radius = std::nextafter(radius, kLargest);
  return radius;
}

void TFarthestVertex::ConfirmExactly(float x, float y, float z) {
  // Welded vertices repeat positions (a corner with three normals).
  if (FConfirmed && x == FBest[0] && y == FBest[1] && z == FBest[2]) return;
  ++FExactMeasures;
  const float point[3] = {x, y, z};
  const TExactSquare square = ExactSquaredLength(point);
  if (!FConfirmed || Compare(square, FBestSquare) > 0) {
    FBestSquare = square;
    FBest[0] = x, FBest[1] = y, FBest[2] = z;
    FConfirmed = true;
  }
}

float TFarthestVertex::Radius() const { return FConfirmed ? RoundedUpRoot(FBestSquare) : 0.0f; }

TMeshBounds MeshBounds(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes) {
  TMeshBounds bounds;
  TFarthestVertex farthest;
  bool first = true;
  for (const auto& subMesh : subMeshes)
    for (const QZOgreVertexT& v : subMesh->Vertices) {
      farthest.Measure(v.X, v.Y, v.Z);
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
  // The exact distance from the origin to the farthest vertex, rounded up:
  // finite for every mesh of finite coordinates (see BoundingRadius.h).
  for (const auto& subMesh : subMeshes)
    for (const QZOgreVertexT& v : subMesh->Vertices) farthest.Confirm(v.X, v.Y, v.Z);
  bounds.Radius = farthest.Radius();
  return bounds;
}
