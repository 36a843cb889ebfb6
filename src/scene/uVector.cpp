#include "scene/uVector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "scene/uScene.h"

namespace {

// Off-diagonal pairs of a symmetric matrix agree to this.
constexpr float kSymmetryTolerance = 1e-6f;
// A symmetric matrix this close to the identity is taken for no rotation.
constexpr float kIdentityTolerance = 0.1f;
// Factor when the length is zero in single precision: the zero vector stays
// the zero vector, and a vector too short for a single stays finite.
constexpr float kZeroLengthFactor = 999999.0f;

float Element(const TMatrix3& m, int row, int column) { return m.M[3 * row + column]; }

// Half-turn axis component from a diagonal element: sqrt((d + 1) / 2), or 0.
double HalfTurnComponent(float diagonal) {
  const double value = (static_cast<double>(diagonal) + 1) / 2;
  return value > 0 ? std::sqrt(value) : 0;
}

bool NearZero(double component) { return SameFloat(static_cast<float>(component), 0, kSymmetryTolerance); }

TAxisAngle HalfTurn(const TMatrix3& m) {
  TAxisAngle result{HalfTurnComponent(Element(m, 0, 0)), HalfTurnComponent(Element(m, 1, 1)),
                    HalfTurnComponent(Element(m, 2, 2)), std::numbers::pi};
  // The square roots lose the signs. When one component is zero, one
  // off-diagonal element restores the relative sign of the other two; when
  // none is, all three stay positive.
  const bool xZero = NearZero(result.X);
  const bool yZero = NearZero(result.Y);
  const bool zZero = NearZero(result.Z);
  if (xZero && !yZero && !zZero) {
    if (!(Element(m, 1, 2) > 0)) result.Y = -result.Y;
  } else if (yZero && !zZero) {
    if (!(Element(m, 0, 2) > 0)) result.Z = -result.Z;
  } else if (zZero) {
    if (!(Element(m, 0, 1) > 0)) result.X = -result.X;
  }
  return result;
}

}  // namespace

TVector MakeVector(float x, float y, float z) { return {x, y, z}; }

TVector VectorAdd(const TVector& a, const TVector& b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }

TVector VectorSubtract(const TVector& a, const TVector& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }

TVector VectorMidpoint(const TVector& a, const TVector& b) {
  return {(a.X + b.X) / 2, (a.Y + b.Y) / 2, (a.Z + b.Z) / 2};
}

TVector VectorDivide(const TVector& v, float s) {
  const double divisor = s;
  return {v.X / divisor, v.Y / divisor, v.Z / divisor};
}

float VectorLength(const TVector& v) { return static_cast<float>(std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z)); }

float VectorLengthSquared(const TVector& v) { return static_cast<float>(v.X * v.X + v.Y * v.Y + v.Z * v.Z); }

float VectorDistanceSquared(const TVector& a, const TVector& b) { return VectorLengthSquared(VectorSubtract(a, b)); }

float VectorDistance(const TVector& a, const TVector& b) {
  return static_cast<float>(std::sqrt(static_cast<double>(VectorDistanceSquared(a, b))));
}

TVector VectorNormalize(const TVector& v) {
  const float length = VectorLength(v);
  const double factor = length > 0 ? static_cast<float>(1.0 / length) : kZeroLengthFactor;
  return {v.X * factor, v.Y * factor, v.Z * factor};
}

TVector VectorCross(const TVector& a, const TVector& b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}

float VectorDot(const TVector& a, const TVector& b) { return static_cast<float>(a.X * b.X + a.Y * b.Y + a.Z * b.Z); }

TMatrix3 MatrixScale(const TMatrix3& m, float s) {
  TMatrix3 result;
  for (int i = 0; i < 9; ++i) result.M[i] = static_cast<float>(static_cast<double>(m.M[i]) * s);
  return result;
}

TMatrix3 MatrixSetColumn(const TMatrix3& m, const TVector& v, int column) {
  TMatrix3 result = m;
  if (column < 0 || column > 2) return result;
  result.M[column] = static_cast<float>(v.X);
  result.M[3 + column] = static_cast<float>(v.Y);
  result.M[6 + column] = static_cast<float>(v.Z);
  return result;
}

TAxisAngle MatrixToAxisAngle(const TMatrix3& m) {
  const float m01 = Element(m, 0, 1), m10 = Element(m, 1, 0);
  const float m02 = Element(m, 0, 2), m20 = Element(m, 2, 0);
  const float m12 = Element(m, 1, 2), m21 = Element(m, 2, 1);
  // Sums and differences of elements are formed in double and rounded once
  // where a single-precision comparison needs them.
  const double trace = static_cast<double>(Element(m, 0, 0)) + Element(m, 1, 1) + Element(m, 2, 2);

  if (SameFloat(m01, m10, kSymmetryTolerance) && SameFloat(m02, m20, kSymmetryTolerance) &&
      SameFloat(m12, m21, kSymmetryTolerance)) {
    if (SameFloat(static_cast<float>(static_cast<double>(m01) + m10), 0, kIdentityTolerance) &&
        SameFloat(static_cast<float>(static_cast<double>(m02) + m20), 0, kIdentityTolerance) &&
        SameFloat(static_cast<float>(static_cast<double>(m12) + m21), 0, kIdentityTolerance) &&
        SameFloat(static_cast<float>(trace - 3), 0, kIdentityTolerance))
      return {1, 0, 0, 0};
    return HalfTurn(m);
  }

  const double angle = std::acos(std::clamp((trace - 1) * 0.5, -1.0, 1.0));
  const double twiceSine = 2 * std::sin(angle);
  if (twiceSine == 0) return {1, 0, 0, angle};
  const double factor = static_cast<float>(1 / twiceSine);
  return {(static_cast<double>(m21) - m12) * factor, (static_cast<double>(m02) - m20) * factor,
          (static_cast<double>(m10) - m01) * factor, angle};
}

bool SameFloat(float a, float b, float epsilon) {
  return std::fabs(static_cast<double>(a) - static_cast<double>(b)) < static_cast<double>(epsilon);
}

TVector VertexToVector(const TVertex& vertex) { return MakeVector(vertex.X, vertex.Y, vertex.Z); }
TVector VertexToVector(const TNormal& normal) { return MakeVector(normal.X, normal.Y, normal.Z); }

TVector PolygonCenter(const TPolygon& polygon) {
  const int count = polygon.VertexCount();
  TVector sum;
  if (count == 0) return sum;
  for (int i = 0; i < count; ++i) sum = VectorAdd(sum, VertexToVector(*polygon.GetVertex(i)));
  return {sum.X / count, sum.Y / count, sum.Z / count};
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.starts_with(prefix); }
