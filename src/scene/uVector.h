#pragma once
// Vector arithmetic for smoothed normals and for measuring collision volumes.
//
// Vectors are double precision; the scene's coordinates are single precision
// and widen into them without rounding. Functions that give a single-precision
// result compute it in double and round it once at the end: callers compare
// these results with thresholds, so the rounding is part of each result.
// All functions are pure and raise no errors.

#include <string_view>

class TVertex;
class TPolygon;
struct TNormal;

struct TVector {
  double X = 0, Y = 0, Z = 0;
};

// Row-major: element (r, c) at M[3 * r + c]. Orientations are built column by
// column (MatrixSetColumn), so column c holds the c-th axis.
struct TMatrix3 {
  float M[9] = {};
};

// Rotation axis and angle in radians.
struct TAxisAngle {
  double X = 0, Y = 0, Z = 0, Angle = 0;
};

TVector MakeVector(float x, float y, float z);
TVector VectorAdd(const TVector& a, const TVector& b);
TVector VectorSubtract(const TVector& a, const TVector& b);
TVector VectorMidpoint(const TVector& a, const TVector& b);
TVector VectorDivide(const TVector& v, float s);

float VectorLength(const TVector& v);
float VectorLengthSquared(const TVector& v);
float VectorDistanceSquared(const TVector& a, const TVector& b);
// The square root of the single-precision VectorDistanceSquared.
float VectorDistance(const TVector& a, const TVector& b);

// Scales by 1 / length rounded to single. The zero vector gives the zero
// vector rather than failing, because normal sums may cancel out completely.
TVector VectorNormalize(const TVector& v);
TVector VectorCross(const TVector& a, const TVector& b);
float VectorDot(const TVector& a, const TVector& b);

TMatrix3 MatrixScale(const TMatrix3& m, float s);
// A copy of m whose column `column` (0 to 2) is v rounded to singles; any
// other column number gives m unchanged.
TMatrix3 MatrixSetColumn(const TMatrix3& m, const TVector& v, int column);
// The axis and angle of a rotation matrix. Symmetric matrices are the identity
// (axis (1, 0, 0), angle 0) or half turns; all others take the general
// formula, with the arccos argument clamped to [-1, 1] so that matrices whose
// trace rounding pushed just out of range still give an angle. A zero angle
// there has no axis of its own and gives (1, 0, 0).
TAxisAngle MatrixToAxisAngle(const TMatrix3& m);

// |a - b| < epsilon, strictly.
bool SameFloat(float a, float b, float epsilon);

TVector VertexToVector(const TVertex& vertex);
TVector VertexToVector(const TNormal& normal);
// The average of the corner positions; (0, 0, 0) for a polygon without corners.
TVector PolygonCenter(const TPolygon& polygon);

// Exact, letter case included; an empty prefix always matches.
bool StartsWith(std::string_view text, std::string_view prefix);
