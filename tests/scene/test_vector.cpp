#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "scene/uScene.h"
#include "scene/uVector.h"

namespace {

void ExpectVector(const TVector& actual, double x, double y, double z) {
  EXPECT_EQ(actual.X, x);
  EXPECT_EQ(actual.Y, y);
  EXPECT_EQ(actual.Z, z);
}

void ExpectAxisAngle(const TAxisAngle& actual, double x, double y, double z, double angle, double tolerance = 0) {
  EXPECT_NEAR(actual.X, x, tolerance);
  EXPECT_NEAR(actual.Y, y, tolerance);
  EXPECT_NEAR(actual.Z, z, tolerance);
  EXPECT_NEAR(actual.Angle, angle, tolerance);
}

// Element (r, c) at 3r + c: the rows as written.
TMatrix3 Rows(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21, float m22) {
  return TMatrix3{{m00, m01, m02, m10, m11, m12, m20, m21, m22}};
}

const double kHalf = std::sqrt(0.5);

}  // namespace

// ---- exact component-wise arithmetic ----

TEST(VectorArithmetic, SingleInputsWidenWithoutRounding) {
  ExpectVector(MakeVector(0.1f, -2.5f, 1e30f), 0.100000001490116119384765625, -2.5, 1.00000001504746621987668885e30);
  TVertex vertex(0.1f, 3, -0.2f);
  ExpectVector(VertexToVector(vertex), 0.100000001490116119384765625, 3, -0.20000000298023223876953125);
}

TEST(VectorArithmetic, AddSubtractMidpointDivide) {
  const TVector a{1, 2, 3}, b{3, -2, 5.5};
  ExpectVector(VectorAdd(a, b), 4, 0, 8.5);
  ExpectVector(VectorSubtract(a, b), -2, 4, -2.5);
  ExpectVector(VectorMidpoint(a, b), 2, 0, 4.25);
  ExpectVector(VectorDivide(a, 2), 0.5, 1, 1.5);
  // The divisor is the single nearest 0.1, not 0.1 itself.
  EXPECT_DOUBLE_EQ(VectorDivide({1, 0, 0}, 0.1f).X, 9.99999985098839);
  // Doubles stay doubles: no rounding to single on the way.
  ExpectVector(VectorAdd({0.1, 0, 0}, {0.2, 0, 0}), 0.1 + 0.2, 0, 0);
}

TEST(VectorArithmetic, CrossProduct) {
  ExpectVector(VectorCross({1, 0, 0}, {0, 1, 0}), 0, 0, 1);
  ExpectVector(VectorCross({0, 1, 0}, {1, 0, 0}), 0, 0, -1);
  ExpectVector(VectorCross({1, 2, 3}, {4, 5, 6}), -3, 6, -3);
}

// ---- single-precision results, rounded once ----

TEST(VectorMeasures, LengthsDistancesAndDotProducts) {
  EXPECT_EQ(VectorLength({3, 0, 4}), 5.0f);
  EXPECT_EQ(VectorLengthSquared({3, 0, 4}), 25.0f);
  EXPECT_EQ(VectorDistance({0, 0, 0}, {1, 2, 2}), 3.0f);
  EXPECT_EQ(VectorDistanceSquared({0, 0, 0}, {1, 2, 2}), 9.0f);
  EXPECT_EQ(VectorDistance({1, 1, 1}, {-1, 1, 1}), 2.0f);
  EXPECT_EQ(VectorDot({1, 2, 3}, {4, -5, 6}), 12.0f);
  EXPECT_EQ(VectorLength({1, 1, 0}), 1.41421353816986083984375f);  // sqrt 2 to single
}

TEST(VectorMeasures, SumIsRoundedToSingleOnlyOnceAtTheEnd) {
  // x² = 1 + 2^-11 + 2^-24 and y² = 2^-24. Rounding each term to single
  // first would lose both 2^-24 (ties to even); the exact sum keeps 2^-23.
  const float x = 1 + 0x1p-12f, y = 0x1p-12f;
  const float expected = 1 + 0x1p-11f + 0x1p-23f;
  EXPECT_EQ(VectorLengthSquared(MakeVector(x, y, 0)), expected);
  EXPECT_EQ(VectorDot(MakeVector(x, y, 0), MakeVector(x, y, 0)), expected);
  EXPECT_EQ(VectorDistanceSquared(MakeVector(x, y, 0), {0, 0, 0}), expected);
}

// ---- normalising ----

TEST(VectorNormalize, ScalesByTheReciprocalLengthRoundedToSingle) {
  // 1/5 as a single is 0.20000000298..., so the result is not exactly (0.6, 0, 0.8).
  ExpectVector(VectorNormalize({3, 0, 4}), 0.600000008940696716308594, 0, 0.800000011920928955078125);
  ExpectVector(VectorNormalize({0, -2, 0}), 0, -1, 0);
}

TEST(VectorNormalize, ZeroVectorStaysZero) {
  const TVector result = VectorNormalize({0, 0, 0});
  ExpectVector(result, 0, 0, 0);
  EXPECT_FALSE(std::signbit(result.X));
}

// ---- matrices ----

TEST(Matrix, SetColumnChangesOnlyThatColumnAndRoundsToSingle) {
  const TMatrix3 nines = Rows(9, 9, 9, 9, 9, 9, 9, 9, 9);
  const TMatrix3 result = MatrixSetColumn(nines, {1, 2, 3}, 1);
  const float expected[9] = {9, 1, 9, 9, 2, 9, 9, 3, 9};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(result.M[i], expected[i]) << "element " << i;

  const TMatrix3 column0 = MatrixSetColumn(TMatrix3{}, {0.1, -1, 1e-50}, 0);
  EXPECT_EQ(column0.M[0], 0.1f);
  EXPECT_EQ(column0.M[3], -1.0f);
  EXPECT_EQ(column0.M[6], 0.0f);
  const TMatrix3 column2 = MatrixSetColumn(nines, {4, 5, 6}, 2);
  EXPECT_EQ(column2.M[2], 4);
  EXPECT_EQ(column2.M[5], 5);
  EXPECT_EQ(column2.M[8], 6);
  EXPECT_EQ(column2.M[7], 9);
}

TEST(Matrix, SetColumnOutsideTheMatrixChangesNothing) {
  const TMatrix3 nines = Rows(9, 9, 9, 9, 9, 9, 9, 9, 9);
  for (int column : {-1, 3}) {
    const TMatrix3 result = MatrixSetColumn(nines, {1, 2, 3}, column);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(result.M[i], 9) << "column " << column;
  }
}

TEST(Matrix, ScaleMultipliesEveryElement) {
  const TMatrix3 result = MatrixScale(Rows(1, 2, 3, 4, 5, 6, 7, 8, -9), 0.5f);
  const float expected[9] = {0.5f, 1, 1.5f, 2, 2.5f, 3, 3.5f, 4, -4.5f};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(result.M[i], expected[i]) << "element " << i;
}

// ---- rotation matrix to axis and angle ----

TEST(MatrixToAxisAngle, IdentityAndNearIdentityHaveNoRotation) {
  ExpectAxisAngle(MatrixToAxisAngle(Rows(1, 0, 0, 0, 1, 0, 0, 0, 1)), 1, 0, 0, 0);
  // A symmetric matrix within 0.1 of the identity's trace counts as the identity.
  ExpectAxisAngle(MatrixToAxisAngle(Rows(1, 0.04f, 0, 0.04f, 1, 0, 0, 0, 0.91f)), 1, 0, 0, 0);
}

TEST(MatrixToAxisAngle, SymmetricMatrixBeyondTheLooseToleranceIsAHalfTurn) {
  // Trace 2.89: 0.11 from 3, so a half turn whose axis comes from the diagonal.
  ExpectAxisAngle(MatrixToAxisAngle(Rows(1, 0, 0, 0, 1, 0, 0, 0, 0.89f)), 1, 1, std::sqrt((0.89 + 1) / 2), std::numbers::pi,
                  1e-7);
}

TEST(MatrixToAxisAngle, QuarterTurnsTakeTheGeneralFormula) {
  // About Z: columns (0,1,0), (-1,0,0), (0,0,1).
  ExpectAxisAngle(MatrixToAxisAngle(Rows(0, -1, 0, 1, 0, 0, 0, 0, 1)), 0, 0, 1, std::numbers::pi / 2, 1e-15);
  // About X: columns (1,0,0), (0,0,1), (0,-1,0).
  ExpectAxisAngle(MatrixToAxisAngle(Rows(1, 0, 0, 0, 0, -1, 0, 1, 0)), 1, 0, 0, std::numbers::pi / 2, 1e-15);
  // About -Y.
  ExpectAxisAngle(MatrixToAxisAngle(Rows(0, 0, -1, 0, 1, 0, 1, 0, 0)), 0, -1, 0, std::numbers::pi / 2, 1e-15);
}

TEST(MatrixToAxisAngle, SixtyDegreesAboutZRoundsTheSineFactorToSingle) {
  // sin 60 as a single is 0.866025388..., and 1 / (2 sin(arccos 0.5)) rounds
  // to 0.57735025882720947; their product gives Z a little below 1.
  const float c = 0.5f, s = 0.866025403784438646763723f;
  const TAxisAngle result = MatrixToAxisAngle(Rows(c, -s, 0, s, c, 0, 0, 0, 1));
  ExpectAxisAngle(result, 0, 0, 1, std::numbers::pi / 3, 1e-6);
  EXPECT_EQ(result.Z, 0.9999999641035373);
  EXPECT_EQ(result.Angle, 1.0471975511965979);
}

TEST(MatrixToAxisAngle, HalfTurnsAboutCoordinateAxesAndDiagonals) {
  // diag(-1,-1,1): X and Y are zero, so the sign rule for Z fires with m(0,2) = 0.
  ExpectAxisAngle(MatrixToAxisAngle(Rows(-1, 0, 0, 0, -1, 0, 0, 0, 1)), 0, 0, -1, std::numbers::pi);
  // diag(1,-1,-1): Y and Z are zero, so the last rule fires and, m(0,1) being 0, negates X.
  ExpectAxisAngle(MatrixToAxisAngle(Rows(1, 0, 0, 0, -1, 0, 0, 0, -1)), -1, 0, 0, std::numbers::pi);
  // About (1,1,0)/sqrt2 and (1,-1,0)/sqrt2: the sign of m(0,1) decides X.
  ExpectAxisAngle(MatrixToAxisAngle(Rows(0, 1, 0, 1, 0, 0, 0, 0, -1)), kHalf, kHalf, 0, std::numbers::pi, 1e-15);
  ExpectAxisAngle(MatrixToAxisAngle(Rows(0, -1, 0, -1, 0, 0, 0, 0, -1)), -kHalf, kHalf, 0, std::numbers::pi, 1e-15);
  // About (0,1,1)/sqrt2 and (0,1,-1)/sqrt2: X is zero, the sign of m(1,2) decides Y.
  ExpectAxisAngle(MatrixToAxisAngle(Rows(-1, 0, 0, 0, 0, 1, 0, 1, 0)), 0, kHalf, kHalf, std::numbers::pi, 1e-15);
  ExpectAxisAngle(MatrixToAxisAngle(Rows(-1, 0, 0, 0, 0, -1, 0, -1, 0)), 0, -kHalf, kHalf, std::numbers::pi, 1e-15);
  // About (1,0,1)/sqrt2 and (1,0,-1)/sqrt2: Y is zero, the sign of m(0,2) decides Z.
  ExpectAxisAngle(MatrixToAxisAngle(Rows(0, 0, 1, 0, -1, 0, 1, 0, 0)), kHalf, 0, kHalf, std::numbers::pi, 1e-15);
  ExpectAxisAngle(MatrixToAxisAngle(Rows(0, 0, -1, 0, -1, 0, -1, 0, 0)), kHalf, 0, -kHalf, std::numbers::pi, 1e-15);
}

TEST(MatrixToAxisAngle, HalfTurnWithNoZeroComponentKeepsAllSignsPositive) {
  const float d = -1.0f / 3, o = 2.0f / 3;
  const double third = std::sqrt(1.0 / 3);
  ExpectAxisAngle(MatrixToAxisAngle(Rows(d, o, o, o, d, o, o, o, d)), third, third, third, std::numbers::pi, 1e-7);
  // About (1,1,-1)/sqrt3 the same axis results: no rule restores the sign.
  ExpectAxisAngle(MatrixToAxisAngle(Rows(d, o, -o, o, d, -o, -o, -o, d)), third, third, third, std::numbers::pi, 1e-7);
}

TEST(MatrixToAxisAngle, SymmetryIsJudgedWithTheTightTolerance) {
  // Off-diagonal pairs 5e-7 apart still count as symmetric: the half turn of diag(-1,-1,1).
  ExpectAxisAngle(MatrixToAxisAngle(Rows(-1, 0, 0, 5e-7f, -1, 0, 0, 0, 1)), 0, 0, -1, std::numbers::pi);
  // 2e-6 apart they do not: the general formula, whose sine is all but zero at a half turn.
  const TAxisAngle general = MatrixToAxisAngle(Rows(-1, 0, 0, 2e-6f, -1, 0, 0, 0, 1));
  EXPECT_EQ(general.Angle, std::numbers::pi);
  EXPECT_GT(general.Z, 1e6);
}

TEST(MatrixToAxisAngle, TraceRoundedJustBeyondThreeGivesNoRotation) {
  // Not symmetric (m(0,1) and m(1,0) differ by 1e-5), trace 3 + 2^-23: the
  // arccos argument 1 + 2^-24 is clamped to 1, the angle is 0 and has no axis.
  const TAxisAngle result = MatrixToAxisAngle(Rows(1, 1e-5f, 0, 0, 1, 0, 0, 0, 1 + 0x1p-23f));
  ExpectAxisAngle(result, 1, 0, 0, 0);
}

TEST(MatrixToAxisAngle, TinyRotationWhoseCosineRoundsToOneGivesNoRotation) {
  // cos 1e-4 rounds to 1 in single precision: trace exactly 3, sine 0.
  ExpectAxisAngle(MatrixToAxisAngle(Rows(1, -1e-4f, 0, 1e-4f, 1, 0, 0, 0, 1)), 1, 0, 0, 0);
}

TEST(MatrixToAxisAngle, TraceRoundedJustBelowMinusOneGivesAHalfTurn) {
  const TAxisAngle result = MatrixToAxisAngle(Rows(0, 1, 0, 1 - 1e-5f, 0, 0, 0, 0, -1 - 0x1p-23f));
  EXPECT_EQ(result.Angle, std::numbers::pi);
  EXPECT_TRUE(std::isfinite(result.X) && std::isfinite(result.Y) && std::isfinite(result.Z));
}

// ---- tolerance comparison ----

TEST(SameFloat, DifferenceMustBeStrictlyBelowEpsilon) {
  EXPECT_FALSE(SameFloat(1, 1.5f, 0.5f));
  EXPECT_FALSE(SameFloat(1.5f, 1, 0.5f));
  EXPECT_TRUE(SameFloat(1, 1.25f, 0.5f));
  EXPECT_TRUE(SameFloat(1, 0.75f, 0.5f));
  EXPECT_TRUE(SameFloat(-3, -3, 1e-6f));
  EXPECT_FALSE(SameFloat(0, 0, 0));
}

// ---- bridges from the scene model ----

TEST(PolygonCenter, AveragesTheCornersInDouble) {
  TVertex a(0, 0, 0), b(1, 0, 0), c(0, 1, 0), d(2, 2, 2);
  TPolygon triangle;
  triangle.AddVertex(&a);
  triangle.AddVertex(&b);
  triangle.AddVertex(&c);
  ExpectVector(PolygonCenter(triangle), 1.0 / 3, 1.0 / 3, 0);

  TPolygon single;
  single.AddVertex(&d);
  ExpectVector(PolygonCenter(single), 2, 2, 2);

  // A corner used twice counts twice.
  TPolygon twice;
  twice.AddVertex(&a);
  twice.AddVertex(&d);
  twice.AddVertex(&d);
  twice.AddVertex(&d);
  ExpectVector(PolygonCenter(twice), 1.5, 1.5, 1.5);
}

TEST(PolygonCenter, PolygonWithoutCornersGivesTheOrigin) { ExpectVector(PolygonCenter(TPolygon()), 0, 0, 0); }

// ---- text prefix ----

TEST(StartsWith, ComparesThePrefixExactly) {
  EXPECT_TRUE(StartsWith("abc", "ab"));
  EXPECT_FALSE(StartsWith("Abc", "ab"));
  EXPECT_FALSE(StartsWith("a", "ab"));
  EXPECT_TRUE(StartsWith("ab", "ab"));
  EXPECT_TRUE(StartsWith("abc", ""));
  EXPECT_TRUE(StartsWith("", ""));
  EXPECT_FALSE(StartsWith("", "a"));
  EXPECT_FALSE(StartsWith("xab", "ab"));
}
