// Matrix transforms and Euler angles: exact rotation matrices, the snapping of small
// sines and cosines, composition order, the "unknown axis" and "no such option"
// messages, and the five rotation orders read back, bit for bit against a reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "GbTransform.h"
#include "TestSupport.h"

using testsupport::StdoutCapture;

using testsupport::Bits;
using testsupport::Show;

namespace {

void ExpectSameMatrix(const BbMatrix &actual, const BbMatrix &expected) {
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      EXPECT_SAME_BITS(actual.mx[i][j], expected.mx[i][j])
          << "[" << i << "][" << j << "]";
    }
  }
}

// Upper 3x3 compared bit for bit, the rest against the identity.
void ExpectRotation(const BbMatrix &actual, const float (&rows)[3][3]) {
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      const float expected = (i < 3 && j < 3) ? rows[i][j] : (i == j ? 1.0f : 0.0f);
      EXPECT_SAME_BITS(actual.mx[i][j], expected) << "[" << i << "][" << j << "]";
    }
  }
}

BbMatrix Rotated(float degrees, char axis) {
  BbMatrix m = GbXformClear();
  GbXformRotateDeg(&m, degrees, axis);
  return m;
}

BbVector Vec(float x, float y, float z) {
  return BbVector{{x, y, z}};
}

BbVector Apply(const BbMatrix &m, BbVector p) {
  BbMxMultMxVec(&m, &p, &p);
  return p;
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// A target with distinctive entries, several of them signed zeros.
BbMatrix SampleTarget() {
  BbMatrix t;
  const float entries[16] = {0.5f, -0.0f, 2.0f,  0.0f, -1.25f, 3.0f,   -0.0f, 0.0f,
                             7.0f, 0.25f, -4.0f, 0.0f, 10.0f,  -20.0f, 30.0f, 1.0f};
  std::memcpy(t.mx, entries, sizeof entries);
  return t;
}

// ---------------------------------------------------------------------------------
// Reference of the rotation: sine and cosine in double, snapped, the general three-axis
// formula for every entry, composed in front of the target.

double RefSnap(double value) {
  return (value > -1e-6 && value < 1e-6) ? 0.0 : value;
}

BbMatrix RefRotateRad(const BbMatrix &target, float angle, int axisIndex) {
  double s[3] = {0.0, 0.0, 0.0}, c[3] = {1.0, 1.0, 1.0};
  s[axisIndex] = RefSnap(std::sin((double)angle));
  c[axisIndex] = RefSnap(std::cos((double)angle));
  const double sx = s[0], cx = c[0], sy = s[1], cy = c[1], sz = s[2], cz = c[2];
  const double w[4][4] = {
      {cy * cz, cy * sz, -sy, 0.0},
      {sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy, 0.0},
      {cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy, 0.0},
      {0.0, 0.0, 0.0, 1.0},
  };
  BbMatrix d;
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      double sum = 0;
      for (int k = 0; k < 4; k++) {
        const double term = (double)(float)w[i][k] * (double)target.mx[k][j];
        sum = k == 0 ? term : sum + term;
      }
      d.mx[i][j] = (float)sum;
    }
  }
  return d;
}

// ---------------------------------------------------------------------------------
// Rotations

TEST(GbXformRotateDeg, QuarterAndHalfTurnsAreExact) {
  struct Case {
    float degrees;
    char axis;
    float rows[3][3];
  };
  const Case cases[] = {
      {90, 'z', {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}},
      {180, 'z', {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}},
      {-90, 'z', {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}},
      {90, 'x', {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}},
      {270, 'x', {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}},
      {90, 'y', {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}},
      {-180, 'y', {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}},
      {0, 'y', {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.degrees) + " about " + c.axis);
    ExpectRotation(Rotated(c.degrees, c.axis), c.rows);
  }
}

TEST(GbXformRotateDeg, ZeroAngleLeavesTargetAndCaseDoesNotMatter) {
  for (char axis : {'x', 'y', 'z'}) {
    BbMatrix m = SampleTarget();
    GbXformRotateDeg(&m, 0.0f, axis);
    // Entries that are not zero keep their bits; zeros keep their value.
    const BbMatrix t = SampleTarget();
    for (int i = 0; i < 4; i++) {
      for (int j = 0; j < 4; j++) EXPECT_EQ(m.mx[i][j], t.mx[i][j]) << axis << i << j;
    }

    BbMatrix lower = SampleTarget(), upper = SampleTarget();
    GbXformRotateDeg(&lower, 33.0f, axis);
    GbXformRotateDeg(&upper, 33.0f, (char)(axis - 'a' + 'A'));
    ExpectSameMatrix(upper, lower);
  }
}

TEST(GbXformRotateRad, UnknownAxisPrintsAndLeavesTargetUnchanged) {
  for (char axis : {'w', '1', '\0', 'a', (char)0xF8}) {
    BbMatrix rad = SampleTarget(), deg = SampleTarget();
    StdoutCapture capture;
    capture.Start();
    GbXformRotateRad(&rad, 1.0f, axis);
    GbXformRotateDeg(&deg, 45.0f, axis);
    EXPECT_EQ(capture.Stop(), "unknown axisunknown axis") << (int)axis;
    ExpectSameMatrix(rad, SampleTarget());
    ExpectSameMatrix(deg, SampleTarget());
  }
}

// Sines and cosines strictly inside (-1e-6, 1e-6) snap to +0. No float has a sine of
// exactly 1e-6: 1e-6f lies just below the threshold, the next float just above.
TEST(GbXformRotateRad, SnapsValuesBelowOneMillionth) {
  const float below = 1e-6f;
  const float above = std::nextafter(below, 1.0f);
  ASSERT_LT(std::sin((double)below), 1e-6);
  ASSERT_GT(std::sin((double)above), 1e-6);

  BbMatrix snapped = GbXformClear();
  GbXformRotateRad(&snapped, below, 'z');
  ExpectSameMatrix(snapped, GbXformClear());
  BbMatrix negative = GbXformClear();
  GbXformRotateRad(&negative, -below, 'x');
  ExpectSameMatrix(negative, GbXformClear());

  BbMatrix kept = GbXformClear();
  GbXformRotateRad(&kept, above, 'z');
  EXPECT_SAME_BITS(kept.mx[0][1], (float)std::sin((double)above));
  EXPECT_SAME_BITS(kept.mx[1][0], (float)-std::sin((double)above));

  // The same threshold for the cosine, near a quarter turn.
  float cosBelow = 1.5707963705062866f;  // cos about -4.4e-8
  while (std::cos((double)std::nextafter(cosBelow, 0.0f)) < 1e-6) {
    cosBelow = std::nextafter(cosBelow, 0.0f);
  }
  const float cosAbove = std::nextafter(cosBelow, 0.0f);
  BbMatrix cosSnapped = GbXformClear(), cosKept = GbXformClear();
  GbXformRotateRad(&cosSnapped, cosBelow, 'z');
  GbXformRotateRad(&cosKept, cosAbove, 'z');
  EXPECT_SAME_BITS(cosSnapped.mx[0][0], 0.0f);
  EXPECT_SAME_BITS(cosSnapped.mx[0][1], 1.0f);
  EXPECT_SAME_BITS(cosKept.mx[0][0], (float)std::cos((double)cosAbove));
}

// Multiples of 90 degrees: the degree value is turned into a float radian value, whose
// sine or cosine snaps as long as it is within 1e-6 of zero. Some large multiples still
// snap (2070, 2160), others do not (1890, 1980).
TEST(GbXformRotateDeg, MultiplesOfNinetySnapWhereTheFloatAngleAllows) {
  for (int k = -120; k <= 120; k++) {
    const float degrees = (float)(90 * k);
    const float radians = (float)(((double)degrees * 3.141592653589793) / 180.0);
    double s = std::sin((double)radians), c = std::cos((double)radians);
    if (std::fabs(s) < 1e-6) s = 0.0;
    if (std::fabs(c) < 1e-6) c = 0.0;
    const float rows[3][3] = {
        {(float)c, (float)s, 0}, {(float)-s, (float)c, 0}, {0, 0, 1}};
    const BbMatrix m = Rotated(degrees, 'z');
    for (int i = 0; i < 3; i++) {
      for (int j = 0; j < 3; j++) {
        EXPECT_EQ(m.mx[i][j], rows[i][j]) << degrees << " [" << i << "][" << j << "]";
      }
    }
  }
  EXPECT_NE(Rotated(1890, 'z').mx[0][0], 0.0f);
  EXPECT_NE(Rotated(1980, 'z').mx[0][1], 0.0f);
  EXPECT_SAME_BITS(Rotated(2070, 'z').mx[0][0], 0.0f);
  EXPECT_SAME_BITS(Rotated(2160, 'z').mx[0][1], 0.0f);
  EXPECT_SAME_BITS(Rotated(1800, 'z').mx[0][1], 0.0f);
}

// The whole rotation against the reference, bit for bit, on a target full of signed
// zeros so that the signs of the work matrix's zero entries show; angles of every kind.
TEST(GbXformRotateRad, MatchesReferenceBitForBit) {
  std::mt19937 engine(7u);
  const char axes[] = {'x', 'y', 'z', 'X', 'Y', 'Z'};
  const float specials[] = {0.0f,       -0.0f,      kNaN,       kInf,   -kInf,
                            1e-6f,      -1e-6f,     1e30f,      -3e38f, 1e-40f,
                            1.5707964f, 3.1415927f, -1.5707964f};
  std::uniform_real_distribution<float> ordinary(-10.0f, 10.0f);
  std::uniform_int_distribution<int> quarter(-40, 40);
  for (int round = 0; round < 6000; round++) {
    float angle;
    switch (round % 4) {
      case 0:
        angle = specials[engine() % (sizeof specials / sizeof specials[0])];
        break;
      case 1:
        angle = (float)(quarter(engine) * 1.5707963267948966);
        break;
      case 2: {
        uint32_t bits = engine();
        std::memcpy(&angle, &bits, sizeof angle);
        break;
      }
      default:
        angle = ordinary(engine);
    }
    const int axisIndex = (int)(engine() % 6);
    BbMatrix target = SampleTarget();
    if (round % 3 == 0) {
      for (auto &row : target.mx) {
        for (float &entry : row) entry = (engine() % 2) ? -0.0f : ordinary(engine);
      }
    }
    const BbMatrix expected = RefRotateRad(target, angle, axisIndex % 3);
    BbMatrix actual = target;
    GbXformRotateRad(&actual, angle, axes[axisIndex]);
    SCOPED_TRACE("angle " + Show(angle) + " axis " + axes[axisIndex]);
    ExpectSameMatrix(actual, expected);
    if (HasFailure()) break;
  }
}

// Degrees become radians as ((double)angle * pi) / 180, rounded to float once.
TEST(GbXformRotateDeg, ConvertsWithOneRoundingToFloat) {
  std::mt19937 engine(11u);
  std::uniform_real_distribution<float> degrees(-4000.0f, 4000.0f);
  for (int round = 0; round < 3000; round++) {
    const float angle = round < 8 ? 90.0f * (float)(round - 4) : degrees(engine);
    const float radians = (float)(((double)angle * 3.141592653589793) / 180.0);
    BbMatrix viaDeg = SampleTarget(), viaRad = SampleTarget();
    GbXformRotateDeg(&viaDeg, angle, "xyz"[round % 3]);
    GbXformRotateRad(&viaRad, radians, "xyz"[round % 3]);
    SCOPED_TRACE("degrees " + Show(angle));
    ExpectSameMatrix(viaDeg, viaRad);
    if (HasFailure()) break;
  }
}

// ---------------------------------------------------------------------------------
// Translation, scale and composition order

TEST(GbXformComposition, NewestTransformActsOnThePointFirst) {
  const BbVector t = Vec(10, 20, 30);

  BbMatrix turn = GbXformClear();
  GbXformTranslate(&turn, &t);
  GbXformRotateDeg(&turn, 90, 'z');
  const BbVector turned = Apply(turn, Vec(1, 0, 0));
  EXPECT_SAME_BITS(turned.vec[0], 10.0f);
  EXPECT_SAME_BITS(turned.vec[1], 21.0f);
  EXPECT_SAME_BITS(turned.vec[2], 30.0f);

  BbMatrix grow = GbXformClear();
  GbXformTranslate(&grow, &t);
  GbXformScale(&grow, 2.0f);
  const BbVector origin = Apply(grow, Vec(0, 0, 0));
  const BbVector scaled = Apply(grow, Vec(1, 0, 0));
  EXPECT_SAME_BITS(origin.vec[0], 10.0f);
  EXPECT_SAME_BITS(scaled.vec[0], 12.0f);
  EXPECT_SAME_BITS(scaled.vec[1], 20.0f);

  const BbVector factors = Vec(2, 3, -4);
  BbMatrix perAxis = GbXformClear();
  GbXformTranslate(&perAxis, &t);
  GbXformScaleVec(&perAxis, &factors);
  const BbVector stretched = Apply(perAxis, Vec(1, 1, 1));
  EXPECT_SAME_BITS(stretched.vec[0], 12.0f);
  EXPECT_SAME_BITS(stretched.vec[1], 23.0f);
  EXPECT_SAME_BITS(stretched.vec[2], 26.0f);
}

TEST(GbXformScale, ZeroScaleKeepsOnlyTheTranslationRow) {
  BbMatrix m = SampleTarget();
  GbXformScale(&m, 0.0f);
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 4; j++) EXPECT_EQ(m.mx[i][j], 0.0f) << i << j;
  }
  for (int j = 0; j < 4; j++) EXPECT_SAME_BITS(m.mx[3][j], SampleTarget().mx[3][j]);

  BbMatrix v = SampleTarget();
  const BbVector factors = Vec(2, -1, 0.5f);
  GbXformScaleVec(&v, &factors);
  // By value: a zero entry comes out as +0 whatever its sign was (the other terms of
  // the row product are +0).
  for (int j = 0; j < 4; j++) {
    EXPECT_EQ(v.mx[0][j], 2.0f * SampleTarget().mx[0][j]);
    EXPECT_EQ(v.mx[1][j], -SampleTarget().mx[1][j]);
    EXPECT_EQ(v.mx[2][j], 0.5f * SampleTarget().mx[2][j]);
    EXPECT_SAME_BITS(v.mx[3][j], SampleTarget().mx[3][j]);
  }
}

// ---------------------------------------------------------------------------------
// Euler angles

const char *const kOrders[] = {"XYZ", "ZXY", "YZX", "YXZ", "ZYX"};

BbMatrix Build(const char *order, float a, float b, float c) {
  BbMatrix m = GbXformClear();
  const float angles[3] = {a, b, c};
  for (int i = 0; i < 3; i++) GbXformRotateDeg(&m, angles[i], order[i]);
  return m;
}

BbVector Read(const char *order, const BbMatrix &m) {
  BbVector angle = Vec(kNaN, kNaN, kNaN);
  EXPECT_EQ(BbXfChangeRotOrder(&angle, order, m.mx), 1) << order;
  return angle;
}

TEST(BbXfChangeRotOrder, IdentityGivesSignedZerosPerOrder) {
  struct Case {
    const char *order;
    float expected[3];
  };
  const Case cases[] = {
      {"XYZ", {-0.0f, 0.0f, -0.0f}}, {"ZXY", {-0.0f, 0.0f, -0.0f}},
      {"YZX", {-0.0f, 0.0f, -0.0f}}, {"YXZ", {0.0f, -0.0f, 0.0f}},
      {"ZYX", {0.0f, -0.0f, 0.0f}},
  };
  const BbMatrix identity = GbXformClear();
  for (const Case &c : cases) {
    const BbVector angle = Read(c.order, identity);
    for (int i = 0; i < 3; i++) EXPECT_SAME_BITS(angle.vec[i], c.expected[i]) << c.order;
  }
}

TEST(BbXfChangeRotOrder, HalfTurnAboutZReadsPlus180EitherWay) {
  for (float degrees : {180.0f, -180.0f}) {
    const BbVector angle = Read("ZYX", Rotated(degrees, 'z'));
    EXPECT_SAME_BITS(angle.vec[0], 180.0f) << degrees;
  }
}

double DistanceToQuarter(double degrees) {
  const double r = std::fmod(std::fabs(degrees), 90.0);
  return std::fmin(r, 90.0 - r);
}

TEST(BbXfChangeRotOrder, RoundTripsRandomAnglesInEveryOrder) {
  std::mt19937 engine(12345u);
  std::uniform_real_distribution<float> outer(-180.0f, 180.0f), middle(-89.9f, 89.9f);
  for (const char *order : kOrders) {
    int done = 0;
    while (done < 2000) {
      const float a = outer(engine), b = middle(engine), c = outer(engine);
      if (DistanceToQuarter(a) < 0.001 || DistanceToQuarter(b) < 0.001 ||
          DistanceToQuarter(c) < 0.001) {
        continue;
      }
      done++;
      const BbVector angle = Read(order, Build(order, a, b, c));
      EXPECT_NEAR(angle.vec[0], a, 2e-5) << order << " " << a << " " << b << " " << c;
      EXPECT_NEAR(angle.vec[1], b, 2e-5) << order << " " << a << " " << b << " " << c;
      EXPECT_NEAR(angle.vec[2], c, 2e-5) << order << " " << a << " " << b << " " << c;
      if (HasFailure()) return;
    }
  }
}

// A middle angle of exactly +-90 makes the test element exactly +-1: the outer angles
// share their combination and the result rebuilds the matrix.
TEST(BbXfChangeRotOrder, GimbalLockSplitsOuterAnglesAndRebuilds) {
  const BbMatrix locked = Build("ZYX", 30, 90, 10);
  const BbVector angle = Read("ZYX", locked);
  EXPECT_FLOAT_EQ(angle.vec[0], 10.0f);
  EXPECT_SAME_BITS(angle.vec[1], 90.0f);
  EXPECT_FLOAT_EQ(angle.vec[2], -10.0f);
  ExpectSameMatrix(Build("ZYX", angle.vec[0], angle.vec[1], angle.vec[2]), locked);

  for (const char *order : kOrders) {
    for (float b : {90.0f, -90.0f}) {
      const BbMatrix m = Build(order, 25, b, -40);
      const BbVector got = Read(order, m);
      EXPECT_SAME_BITS(got.vec[1], b) << order;
      const BbMatrix rebuilt = Build(order, got.vec[0], got.vec[1], got.vec[2]);
      for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
          EXPECT_NEAR(rebuilt.mx[i][j], m.mx[i][j], 1e-6) << order << " " << b;
        }
      }
    }
  }
}

// Which elements the gimbal-lock branch reads, per order and sign. The matrix is all
// ones except the test element (+-1) and the arctangent's second element (0), so
// reading the intended elements gives +-45 degrees, and any other element 22.5.
TEST(BbXfChangeRotOrder, GimbalLockReadsTheTabledElements) {
  struct Case {
    const char *order;
    int testRow, testColumn;
    float testValue;
    int xRow, xColumn;
    float expected[3];
  };
  const Case cases[] = {
      {"XYZ", 2, 0, 1, 1, 1, {45, 90, 45}},    {"XYZ", 2, 0, -1, 1, 1, {45, -90, -45}},
      {"ZXY", 1, 2, 1, 0, 0, {45, 90, 45}},    {"ZXY", 1, 2, -1, 2, 1, {45, -90, -45}},
      {"YZX", 0, 1, 1, 2, 2, {45, 90, 45}},    {"YZX", 0, 1, -1, 1, 0, {45, -90, -45}},
      {"YXZ", 2, 1, 1, 0, 0, {-45, -90, -45}}, {"YXZ", 2, 1, -1, 0, 0, {45, 90, -45}},
      {"ZYX", 0, 2, 1, 1, 1, {-45, -90, -45}}, {"ZYX", 0, 2, -1, 1, 1, {-45, 90, 45}},
  };
  for (const Case &c : cases) {
    BbMatrix m;
    for (auto &row : m.mx) {
      for (float &entry : row) entry = 1.0f;
    }
    m.mx[c.testRow][c.testColumn] = c.testValue;
    m.mx[c.xRow][c.xColumn] = 0.0f;
    const BbVector angle = Read(c.order, m);
    for (int i = 0; i < 3; i++) {
      EXPECT_FLOAT_EQ(angle.vec[i], c.expected[i]) << c.order << " " << c.testValue;
    }
  }
}

// Only exactly +-1 locks: the largest float below 1 takes the general branch.
TEST(BbXfChangeRotOrder, NearlyOneTakesTheGeneralBranch) {
  BbMatrix m;
  std::memset(&m, 0, sizeof m);
  m.mx[0][2] = -0.99999994f;
  m.mx[1][1] = 1;
  m.mx[1][2] = 1;
  const BbVector angle = Read("ZYX", m);
  // General: phi = atan2(0, 0), theta = atan2(1 - 2^-24, 0), psi = atan2(1, 0).
  EXPECT_SAME_BITS(angle.vec[0], 0.0f);
  EXPECT_FLOAT_EQ(angle.vec[1], 90.0f);
  EXPECT_FLOAT_EQ(angle.vec[2], 90.0f);
}

TEST(BbXfChangeRotOrder, RefusesUnknownOrders) {
  const BbMatrix m = Rotated(30, 'x');
  for (const char *order : {"xyz", "XZY", "ZYX ", "", "ZY", "ZYXZ"}) {
    BbVector angle = Vec(1.5f, -2.5f, 3.5f);
    StdoutCapture capture;
    capture.Start();
    const int result = BbXfChangeRotOrder(&angle, order, m.mx);
    EXPECT_EQ(capture.Stop(),
              std::string("BbXfChangeRtOrder: no such option ") + order + ".\n");
    EXPECT_EQ(result, 0);
    EXPECT_SAME_BITS(angle.vec[0], 1.5f);
    EXPECT_SAME_BITS(angle.vec[1], -2.5f);
    EXPECT_SAME_BITS(angle.vec[2], 3.5f);
  }
}

// Reference reader, one order at a time, straight from the tables: float locals,
// double arctangents and square root, negations in float, degrees by one product.
BbVector RefRead(const std::string &order, const float R[4][4]) {
  const float halfPi = 1.5707963705062866f;
  float phi, theta, psi;
  auto half = [](double y, double x) { return (float)(std::atan2(y, x) * 0.5); };
  auto at = [](float y, float x) { return (float)std::atan2((double)y, (double)x); };
  auto root = [](float a, float b) {
    return (float)std::sqrt((double)a * (double)a + (double)b * (double)b);
  };
  if (order == "XYZ") {
    const float t = R[2][0];
    if (std::fabs(t) != 1.0f) {
      phi = at(-R[2][1], R[2][2]);
      theta = at(R[2][0], root(R[2][2], R[2][1]));
      psi = at(-R[1][0], R[0][0]);
    } else if (t == 1.0f) {
      theta = halfPi, phi = half(R[1][2], R[1][1]), psi = phi;
    } else {
      theta = -halfPi, phi = half(R[1][2], R[1][1]), psi = -phi;
    }
  } else if (order == "ZXY") {
    const float t = R[1][2];
    if (std::fabs(t) != 1.0f) {
      phi = at(-R[1][0], R[1][1]);
      theta = at(R[1][2], root(R[2][2], R[0][2]));
      psi = at(-R[0][2], R[2][2]);
    } else if (t == 1.0f) {
      theta = halfPi, phi = half(R[0][1], R[0][0]), psi = phi;
    } else {
      theta = -halfPi, phi = half(R[0][1], R[2][1]), psi = -phi;
    }
  } else if (order == "YZX") {
    const float t = R[0][1];
    if (std::fabs(t) != 1.0f) {
      phi = at(-R[0][2], R[0][0]);
      theta = at(R[0][1], root(R[0][2], R[0][0]));
      psi = at(-R[2][1], R[1][1]);
    } else if (t == 1.0f) {
      theta = halfPi, phi = half(R[2][0], R[2][2]), psi = phi;
    } else {
      theta = -halfPi, phi = half(R[2][0], R[1][0]), psi = -phi;
    }
  } else if (order == "YXZ") {
    const float t = R[2][1];
    if (std::fabs(t) != 1.0f) {
      phi = at(R[2][0], R[2][2]);
      theta = at(-R[2][1], root(R[1][1], R[0][1]));
      psi = at(R[0][1], R[1][1]);
    } else if (t == 1.0f) {
      theta = -halfPi, phi = half(-R[1][0], R[0][0]), psi = phi;
    } else {
      theta = halfPi, phi = half(R[1][0], R[0][0]), psi = -phi;
    }
  } else {  // ZYX
    const float t = R[0][2];
    if (std::fabs(t) != 1.0f) {
      phi = at(R[0][1], R[0][0]);
      theta = at(-R[0][2], root(R[0][0], R[0][1]));
      psi = at(R[1][2], R[2][2]);
    } else if (t == 1.0f) {
      theta = -halfPi, phi = half(-R[1][0], R[1][1]), psi = phi;
    } else {
      theta = halfPi, phi = half(-R[1][0], R[1][1]), psi = -phi;
    }
  }
  return Vec((float)(phi * 57.29577951308232), (float)(theta * 57.29577951308232),
             (float)(psi * 57.29577951308232));
}

// Rotation matrices (many with exact 0 and +-1 entries) and arbitrary matrices with
// signed zeros, +-1 in the test positions, infinities and NaN, read in every order.
TEST(BbXfChangeRotOrder, MatchesReferenceBitForBit) {
  std::mt19937 engine(99u);
  std::uniform_real_distribution<float> degrees(-360.0f, 360.0f), entry(-2.0f, 2.0f);
  const float pool[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, -0.5f, kNaN, kInf, -kInf, 1e-30f};
  for (int round = 0; round < 4000; round++) {
    BbMatrix m;
    if (round % 2 == 0) {
      auto angle = [&]() {
        return (engine() % 2) ? 90.0f * (float)((int)(engine() % 9) - 4)
                              : degrees(engine);
      };
      const char *order = kOrders[engine() % 5];
      m = Build(order, angle(), angle(), angle());
    } else {
      for (auto &row : m.mx) {
        for (float &value : row) {
          value = (engine() % 2) ? pool[engine() % (sizeof pool / sizeof pool[0])]
                                 : entry(engine);
        }
      }
    }
    for (const char *order : kOrders) {
      const BbVector actual = Read(order, m);
      const BbVector expected = RefRead(order, m.mx);
      for (int i = 0; i < 3; i++) {
        EXPECT_SAME_BITS(actual.vec[i], expected.vec[i]) << order << " round " << round;
      }
    }
    if (HasFailure()) break;
  }
}

}  // namespace
