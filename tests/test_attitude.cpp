// Attitudes of three-point frames (roll/pitch/yaw, the alias rotations, six degrees of
// freedom), where the caller's points end up, and the segment matrix built from a body,
// a motion and an object transform.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "BoXform.h"
#include "GbTransform.h"
#include "TestSupport.h"

using testsupport::Bits;

namespace {

BbVector Vec(float x, float y, float z) {
  return BbVector{{x, y, z}};
}

std::string Text(const BbVector &v) {
  char text[96];
  std::snprintf(text, sizeof text, "(%.9g, %.9g, %.9g)", v.vec[0], v.vec[1], v.vec[2]);
  return text;
}

// Compared by value: some expected zeros come out as -0.
void ExpectNear(const BbVector &actual, const BbVector &expected, double tolerance,
                const std::string &what) {
  for (int i = 0; i < 3; i++) {
    EXPECT_NEAR(actual.vec[i], expected.vec[i], tolerance)
        << what << ": got " << Text(actual) << ", expected " << Text(expected);
  }
}

// ---------------------------------------------------------------------------------
// Attitude cases with the points' final places.

struct FrameCase {
  BbVector points[3];
  BbVector attitude;  // degrees
  BbVector moved[3];  // the points afterwards
};

TEST(GbXfGetRollPitchYaw, ReadsFramesAndMovesThePoints) {
  const float root2 = (float)std::sqrt(2.0);
  const FrameCase cases[] = {
      {{Vec(0, 0, 0), Vec(0, 1, 0), Vec(0, 1, 1)},
       Vec(0, 0, 0),
       {Vec(0, 0, 0), Vec(0, 1, 0), Vec(0, 1, 1)}},
      {{Vec(0, 0, 0), Vec(0, 1, 0), Vec(1, 1, 0)},
       Vec(0, 90, 0),
       {Vec(0, 0, 0), Vec(0, 1, 0), Vec(1, 1, 0)}},
      {{Vec(0, 0, 0), Vec(0, 1, 0), Vec(-1, 1, 0)},
       Vec(0, -90, 0),
       {Vec(0, 0, 0), Vec(0, 1, 0), Vec(-1, 1, 0)}},
      {{Vec(0, 0, 0), Vec(-1, 0, 0), Vec(-1, 0, 1)},
       Vec(0, 0, 90),
       {Vec(0, 0, 0), Vec(0, 1, 0), Vec(0, 1, 1)}},
      {{Vec(0, 0, 0), Vec(3, 0, 0), Vec(0, 0, 1)},
       Vec(0, 0, -90),
       {Vec(0, 0, 0), Vec(0, 3, 0), Vec(0, 0, 1)}},
      {{Vec(0, 0, 0), Vec(0, 0, 5), Vec(0, 0, 1)},
       Vec(90, 0, 0),
       {Vec(0, 0, 0), Vec(0, 5, 0), Vec(0, 1, 0)}},
      {{Vec(0, 0, 0), Vec(0, 1, 1), Vec(0, 1, 2)},
       Vec(45, 0, 0),
       {Vec(0, 0, 0), Vec(0, root2, 0), Vec(0, 1.5f * root2, 0.5f * root2)}},
      {{Vec(1, 2, 3), Vec(1, 2, 3), Vec(4, 5, 6)},
       Vec(0, 0, 0),
       {Vec(0, 0, 0), Vec(0, 0, 0), Vec(3, 3, 3)}},
      // Translated first: the same frame as the fourth case, moved by (10, 20, 30).
      {{Vec(10, 20, 30), Vec(9, 20, 30), Vec(9, 20, 31)},
       Vec(0, 0, 90),
       {Vec(0, 0, 0), Vec(0, 1, 0), Vec(0, 1, 1)}},
  };
  int row = 0;
  for (const FrameCase &c : cases) {
    const std::string what = "case " + std::to_string(row++);
    BbVector points[3] = {c.points[0], c.points[1], c.points[2]};
    ExpectNear(GbXfGetRollPitchYaw(points), c.attitude, 1e-5, what + " attitude");
    for (int i = 0; i < 3; i++) {
      ExpectNear(points[i], c.moved[i], 1e-6, what + " point " + std::to_string(i));
    }
  }
}

TEST(GbXfGetRollPitchYaw, DiagonalMainPointLandsOnPlusYRoundedToFloat) {
  BbVector points[3] = {Vec(0, 0, 0), Vec(0, 1, 1), Vec(0, 1, 2)};
  GbXfGetRollPitchYaw(points);
  EXPECT_SAME_BITS(points[1].vec[1], (float)std::sqrt(2.0));
}

TEST(GbXfGetAliasRotations, ReadsFramesAgainstPlusX) {
  const FrameCase cases[] = {
      {{Vec(0, 0, 0), Vec(0, 1, 0), Vec(0, 1, 1)},
       Vec(0, 0, 90),
       {Vec(0, 0, 0), Vec(1, 0, 0), Vec(1, 0, 1)}},
      {{Vec(0, 0, 0), Vec(0, 0, 2), Vec(0, 0, 3)},
       Vec(0, -90, 0),
       {Vec(0, 0, 0), Vec(2, 0, 0), Vec(3, 0, 0)}},
      {{Vec(0, 0, 0), Vec(1, 0, 0), Vec(1, 0, 1)},
       Vec(0, 0, 0),
       {Vec(0, 0, 0), Vec(1, 0, 0), Vec(1, 0, 1)}},
      {{Vec(0, 0, 0), Vec(1, 0, 0), Vec(1, -1, 0)},
       Vec(90, 0, 0),
       {Vec(0, 0, 0), Vec(1, 0, 0), Vec(1, -1, 0)}},
      {{Vec(5, 5, 5), Vec(5, 5, 5), Vec(6, 6, 6)},
       Vec(0, 0, 0),
       {Vec(0, 0, 0), Vec(0, 0, 0), Vec(1, 1, 1)}},
  };
  int row = 0;
  for (const FrameCase &c : cases) {
    const std::string what = "case " + std::to_string(row++);
    BbVector points[3] = {c.points[0], c.points[1], c.points[2]};
    ExpectNear(GbXfGetAliasRotations(points), c.attitude, 1e-5, what + " attitude");
    for (int i = 0; i < 3; i++) {
      ExpectNear(points[i], c.moved[i], 1e-6, what + " point " + std::to_string(i));
    }
  }
}

TEST(GbXfGetSixDOF, PositionBeforeTheMoveAndLengthOfTheMainAxis) {
  struct Case {
    BbVector points[3];
    BbVector position, attitude;
    float length;
  };
  const Case cases[] = {
      {{Vec(1, 2, 3), Vec(1, 2, 3), Vec(4, 5, 6)}, Vec(1, 2, 3), Vec(0, 0, 0), 0.0f},
      {{Vec(1, 1, 1), Vec(1, 4, 5), Vec(1, 4, 6)},
       Vec(1, 1, 1),
       Vec(53.1301f, 0, 0),
       5.0f},
      {{Vec(-2, 0, 0), Vec(-14, 0, 0), Vec(-14, 0, 1)},
       Vec(-2, 0, 0),
       Vec(0, 0, 90),
       12.0f},
  };
  for (const Case &c : cases) {
    BbVector points[3] = {c.points[0], c.points[1], c.points[2]};
    const GbXfSixDOF six = GbXfGetSixDOF(points);
    ExpectNear(six.position, c.position, 0, "position");
    ExpectNear(six.attitude, c.attitude, 1e-4, "attitude");
    EXPECT_NEAR(six.length, c.length, 1e-6);
    ExpectNear(points[0], Vec(0, 0, 0), 0, "moved origin");
  }
}

// What the angles mean: rebuilt by rotations in the documented order they carry the
// reference axes onto the frame's unit direction and unit normal.
TEST(GbXfAttitude, RebuiltRotationCarriesAxesOntoTheFrame) {
  std::mt19937 engine(4242u);
  std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
  for (int round = 0; round < 1000; round++) {
    BbVector given[3];
    for (BbVector &p : given)
      p = Vec(coordinate(engine), coordinate(engine), coordinate(engine));
    BbVector main, side;
    BbVectorSub(&main, given[1], given[0]);
    BbVectorSub(&side, given[2], given[1]);
    BbVector normal = BbVectorCross(&main, &side);
    if (BbVectorLen(main) < 0.5f || BbVectorLen(normal) < 0.5f) continue;
    BbVectorNorm(&main);
    BbVectorNorm(&normal);
    const std::string what = "round " + std::to_string(round);

    BbVector points[3] = {given[0], given[1], given[2]};
    const BbVector rpy = GbXfGetRollPitchYaw(points);
    BbMatrix m = GbXformClear();
    GbXformRotateDeg(&m, rpy.vec[2], 'z');
    GbXformRotateDeg(&m, rpy.vec[0], 'x');
    GbXformRotateDeg(&m, rpy.vec[1], 'y');
    BbVector y = Vec(0, 1, 0), x = Vec(1, 0, 0);
    BbMxMultMxVec(&m, &y, &y);
    BbMxMultMxVec(&m, &x, &x);
    ExpectNear(y, main, 2e-5, what + " roll/pitch/yaw direction");
    ExpectNear(x, normal, 2e-5, what + " roll/pitch/yaw normal");

    BbVector again[3] = {given[0], given[1], given[2]};
    const BbVector alias = GbXfGetAliasRotations(again);
    BbMatrix a = GbXformClear();
    GbXformRotateDeg(&a, alias.vec[2], 'z');
    GbXformRotateDeg(&a, alias.vec[1], 'y');
    GbXformRotateDeg(&a, alias.vec[0], 'x');
    BbVector ax = Vec(1, 0, 0), minusY = Vec(0, -1, 0);
    BbMxMultMxVec(&a, &ax, &ax);
    BbMxMultMxVec(&a, &minusY, &minusY);
    ExpectNear(ax, main, 2e-5, what + " alias direction");
    ExpectNear(minusY, normal, 2e-5, what + " alias normal");
    if (HasFailure()) break;
  }
}

// ---------------------------------------------------------------------------------
// Bit-exact reference for frames in general position (no zero coordinates and no
// quarter-turn angles, so no zero-sign subtleties): the points are moved with plain
// double expressions, the angles taken with the single-precision arctangent.

double Snapped(double value) {
  return (value > -1e-6 && value < 1e-6) ? 0.0 : value;
}

// Turns p about `axis` by `angle` radians as a row vector times the work matrix.
BbVector RefTurn(BbVector p, float angle, char axis) {
  const double c = (float)Snapped(std::cos((double)angle));
  const double s = (float)Snapped(std::sin((double)angle));
  const double x = p.vec[0], y = p.vec[1], z = p.vec[2];
  switch (axis) {
    case 'z':
      return Vec((float)(x * c - y * s), (float)(x * s + y * c), p.vec[2]);
    case 'y':
      return Vec((float)(x * c + z * s), p.vec[1], (float)(z * c - x * s));
    default:
      return Vec(p.vec[0], (float)(y * c - z * s), (float)(y * s + z * c));
  }
}

void RefMove(BbVector *points, float angle, char axis) {
  for (int i = 1; i < 3; i++) points[i] = RefTurn(points[i], angle, axis);
}

BbVector RefNormal(const BbVector *points) {
  BbVector u = points[1], v;
  for (int i = 0; i < 3; i++) v.vec[i] = points[2].vec[i] - points[1].vec[i];
  const double ux = u.vec[0], uy = u.vec[1], uz = u.vec[2];
  const double vx = v.vec[0], vy = v.vec[1], vz = v.vec[2];
  return Vec((float)(uy * vz - uz * vy), (float)(uz * vx - ux * vz),
             (float)(ux * vy - uy * vx));
}

BbVector Degrees(float a, float b, float c) {
  return Vec((float)(a * 57.29577951308232), (float)(b * 57.29577951308232),
             (float)(c * 57.29577951308232));
}

void RefTranslate(BbVector *points) {
  const BbVector origin = points[0];
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++) points[i].vec[j] = points[i].vec[j] - origin.vec[j];
  }
}

BbVector RefRollPitchYaw(BbVector *points) {
  RefTranslate(points);
  const float yaw = atan2f(-points[1].vec[0], points[1].vec[1]);
  RefMove(points, -yaw, 'z');
  const float roll = atan2f(points[1].vec[2], points[1].vec[1]);
  RefMove(points, -roll, 'x');
  const BbVector n = RefNormal(points);
  const float pitch = atan2f(-n.vec[2], n.vec[0]);
  return Degrees(roll, pitch, yaw);
}

BbVector RefAliasRotations(BbVector *points) {
  RefTranslate(points);
  const float aboutZ = atan2f(points[1].vec[1], points[1].vec[0]);
  RefMove(points, -aboutZ, 'z');
  const float aboutY = atan2f(-points[1].vec[2], points[1].vec[0]);
  RefMove(points, -aboutY, 'y');
  const BbVector n = RefNormal(points);
  const float aboutX = atan2f(-n.vec[2], -n.vec[1]);
  return Degrees(aboutX, aboutY, aboutZ);
}

TEST(GbXfAttitude, MatchesReferenceBitForBitInGeneralPosition) {
  std::mt19937 engine(777u);
  std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
  for (int round = 0; round < 3000; round++) {
    BbVector given[3];
    for (BbVector &p : given)
      p = Vec(coordinate(engine), coordinate(engine), coordinate(engine));
    const std::string what = "round " + std::to_string(round);

    BbVector points[3] = {given[0], given[1], given[2]};
    BbVector reference[3] = {given[0], given[1], given[2]};
    const BbVector rpy = GbXfGetRollPitchYaw(points), refRpy = RefRollPitchYaw(reference);
    for (int i = 0; i < 3; i++) {
      EXPECT_SAME_BITS(rpy.vec[i], refRpy.vec[i]) << what;
      for (int j = 1; j < 3; j++)
        EXPECT_SAME_BITS(points[j].vec[i], reference[j].vec[i]) << what;
    }

    BbVector alias[3] = {given[0], given[1], given[2]};
    BbVector refAlias[3] = {given[0], given[1], given[2]};
    const BbVector got = GbXfGetAliasRotations(alias), want = RefAliasRotations(refAlias);
    for (int i = 0; i < 3; i++) {
      EXPECT_SAME_BITS(got.vec[i], want.vec[i]) << what;
      for (int j = 1; j < 3; j++)
        EXPECT_SAME_BITS(alias[j].vec[i], refAlias[j].vec[i]) << what;
    }
    if (HasFailure()) break;
  }
}

// ---------------------------------------------------------------------------------
// Segment matrix

struct XformValues {
  BbVector translate, rotate, scale;
};

const XformValues kNeutral = {Vec(0, 0, 0), Vec(0, 0, 0), Vec(1, 1, 1)};

BoXform *MakeXform(const XformValues &values) {
  BoXform *xform = BoXformCreate();
  BoXformSetTrans(xform, values.translate, 2);
  BoXformSetRotate(xform, values.rotate, 2);
  BoXformSetScale(xform, values.scale, 2);
  return xform;
}

TEST(GbXfBuildBodyMotionSegment, ObjectActsFirstThenMotionThenBody) {
  struct Case {
    const char *what;
    XformValues body, motion, object;
    BbVector point, expected;
  };
  const Case cases[] = {
      {"neutral", kNeutral, kNeutral, kNeutral, Vec(1, 2, 3), Vec(1, 2, 3)},
      {"object translation before motion rotation",
       kNeutral,
       {Vec(0, 0, 0), Vec(0, 0, 90), Vec(1, 1, 1)},
       {Vec(1, 0, 0), Vec(0, 0, 0), Vec(1, 1, 1)},
       Vec(0, 0, 0),
       Vec(0, 1, 0)},
      {"object scale, then body translation",
       {Vec(5, 0, 0), Vec(0, 0, 0), Vec(1, 1, 1)},
       kNeutral,
       {Vec(0, 0, 0), Vec(0, 0, 0), Vec(2, 2, 2)},
       Vec(1, 0, 0),
       Vec(7, 0, 0)},
      {"y before x",
       kNeutral,
       kNeutral,
       {Vec(0, 0, 0), Vec(90, 90, 0), Vec(1, 1, 1)},
       Vec(1, 0, 0),
       Vec(0, 1, 0)},
      {"y before x, in the body record",
       {Vec(0, 0, 0), Vec(90, 90, 0), Vec(1, 1, 1)},
       kNeutral,
       kNeutral,
       Vec(1, 0, 0),
       Vec(0, 1, 0)},
      {"x before z",
       kNeutral,
       {Vec(0, 0, 0), Vec(90, 0, 90), Vec(1, 1, 1)},
       kNeutral,
       Vec(0, 1, 0),
       Vec(0, 0, 1)},
      {"y before z",
       kNeutral,
       kNeutral,
       {Vec(0, 0, 0), Vec(0, 90, 90), Vec(1, 1, 1)},
       Vec(1, 0, 0),
       Vec(0, 0, -1)},
      {"scale before rotation",
       kNeutral,
       kNeutral,
       {Vec(0, 0, 0), Vec(0, 0, 90), Vec(2, 1, 1)},
       Vec(1, 0, 0),
       Vec(0, 2, 0)},
      {"rotation before translation",
       {Vec(5, 0, 0), Vec(0, 0, 90), Vec(1, 1, 1)},
       kNeutral,
       kNeutral,
       Vec(1, 0, 0),
       Vec(5, 1, 0)},
  };
  for (const Case &c : cases) {
    BoXform *body = MakeXform(c.body), *motion = MakeXform(c.motion),
            *object = MakeXform(c.object);
    const BbMatrix m = GbXfBuildBodyMotionSegment(body, motion, object);
    BbVector p = c.point;
    BbMxMultMxVec(&m, &p, &p);
    ExpectNear(p, c.expected, 0, c.what);
    BoXformDelete(body);
    BoXformDelete(motion);
    BoXformDelete(object);
  }
}

TEST(GbXfBuildBodyMotionSegment, NeutralRecordsGiveTheIdentity) {
  BoXform *body = MakeXform(kNeutral), *motion = MakeXform(kNeutral),
          *object = MakeXform(kNeutral);
  const BbMatrix m = GbXfBuildBodyMotionSegment(body, motion, object);
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) EXPECT_EQ(m.mx[i][j], i == j ? 1.0f : 0.0f) << i << j;
  }
  BoXformDelete(body);
  BoXformDelete(motion);
  BoXformDelete(object);
}

// A missing record reads as zero scale: everything inside it collapses to one point.
TEST(GbXfBuildBodyMotionSegment, MissingRecordCollapsesThePointsInsideIt) {
  BoXform *body = MakeXform({Vec(5, 0, 0), Vec(0, 0, 0), Vec(1, 1, 1)});
  BoXform *object = MakeXform({Vec(3, 4, 5), Vec(10, 20, 30), Vec(2, 3, 4)});
  const BbMatrix m = GbXfBuildBodyMotionSegment(body, nullptr, object);
  for (const BbVector &point : {Vec(0, 0, 0), Vec(1, -2, 3), Vec(100, 50, -7)}) {
    BbVector p = point;
    BbMxMultMxVec(&m, &p, &p);
    ExpectNear(p, Vec(5, 0, 0), 0, "through a missing motion record");
  }
  const BbMatrix none = GbXfBuildBodyMotionSegment(nullptr, nullptr, nullptr);
  BbVector p = Vec(1, 2, 3);
  BbMxMultMxVec(&none, &p, &p);
  ExpectNear(p, Vec(0, 0, 0), 0, "three missing records");
  BoXformDelete(body);
  BoXformDelete(object);
}

}  // namespace
