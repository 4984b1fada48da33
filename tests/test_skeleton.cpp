// Joints, the hierarchy, and the joint correction matrix.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BoSkeleton.h"
#include "GbTransform.h"
#include "TestSupport.h"

using testsupport::Bits;

namespace {

TEST(BoHierarchy, FindsTheFirstJointOfAName) {
  BoHierarchy *h = BoHierarchyCreate();
  EXPECT_EQ(BoHierarchyFindJoint(h, "hip"), nullptr);
  BoJoint *first = BoJointCreate("Hip");
  BoJoint *second = BoJointCreate("knee");
  BoJoint *again = BoJointCreate("Hip");
  BoHierarchyAddJoint(h, first);
  BoHierarchyAddJoint(h, second);
  BoHierarchyAddJoint(h, again);
  EXPECT_EQ(BoHierarchyGetNumJoints(h), 3);
  EXPECT_EQ(BoHierarchyGetJoint(h, 0), first);
  EXPECT_EQ(BoHierarchyGetJoint(h, 1), second);
  EXPECT_EQ(BoHierarchyGetJoint(h, 2), again);
  EXPECT_EQ(BoHierarchyFindJoint(h, "Hip"), first);
  EXPECT_EQ(BoHierarchyFindJoint(h, "hip"), nullptr);
  EXPECT_EQ(BoHierarchyFindJoint(h, "knee"), second);
}

TEST(BoJoint, StartsNeutralAndOwnsItsName) {
  char name[] = "elbow";
  BoJoint *joint = BoJointCreate(name);
  std::strcpy(name, "wrist");
  EXPECT_STREQ(joint->name, "elbow");
  EXPECT_EQ(joint->done, 0);
  EXPECT_EQ(joint->firstChannel, 0);
  EXPECT_EQ(joint->lastChannel, 0);
  EXPECT_EQ(joint->frames, 0);
  EXPECT_EQ(joint->Xf, nullptr);
  EXPECT_EQ(joint->rotOrder, nullptr);
  for (int code : joint->Channels) EXPECT_EQ(code, 0);
  BbMatrix mx = BoJointGetMatrix(joint);
  BbMatrix id = BbMxIdent();
  EXPECT_EQ(std::memcmp(&mx, &id, sizeof mx), 0);
}

TEST(BoJoint, RoundsPositionsToTwoDecimals) {
  struct Case {
    float in, out;
  } cases[] = {
      {1.004f, 1.0f},   {-0.006f, -0.01f}, {2.345f, 2.35f},           {1.005f, 1.0f},
      {-0.004f, -0.0f}, {0.125f, 0.12f},   {0.375f, 0.38f},           {-12.5f, -12.5f},
      {1e30f, 1e30f},   {0.0f, 0.0f},      {123456.789f, 123456.79f},
  };
  for (const Case &c : cases) {
    BoJoint *joint = BoJointCreate("j");
    BoJointSetOldPosition(joint, {{c.in, c.in, c.in}});
    BoJointSetNewPosition(joint, {{c.in, 0.0f, 0.0f}});
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", (double)c.out);
    float expected = (float)std::atof(text);
    for (int i = 0; i < 3; i++) {
      EXPECT_EQ(Bits(joint->oldPos.vec[i]), Bits(expected)) << c.in;
    }
    EXPECT_EQ(Bits(joint->newPos.vec[0]), Bits(expected)) << c.in;
    EXPECT_EQ(joint->done, 0);
  }
}

TEST(BoJoint, StoresRotationsUnchangedAndMarksTheNewOneDone) {
  BoJoint *joint = BoJointCreate("j");
  BoJointSetOldRotate(joint, {{10.123f, 0.0f, -5.5f}});
  EXPECT_EQ(joint->oldRot.vec[0], 10.123f);
  EXPECT_EQ(joint->oldRot.vec[2], -5.5f);
  EXPECT_EQ(joint->done, 0);
  BoJointSetNewRotate(joint, {{1.0f, 2.0f, 3.0f}});
  EXPECT_EQ(joint->done, 1);
  EXPECT_EQ(joint->newRot.vec[1], 2.0f);
}

BbVector Map(const BbMatrix &mx, BbVector p) {
  BbVector out;
  BbMxMultMxVec(&mx, &p, &out);
  return out;
}

TEST(BoJointSetMatrix, CorrectsRestRotationAndPosition) {
  struct Case {
    const char *what;
    BbVector oldPos, newPos, oldRot, newRot;
    BbVector point, mapped;
  } cases[] = {
      {"all rest values zero", {}, {}, {}, {}, {{1, 2, 3}}, {{1, 2, 3}}},
      {"equal rest rotations",
       {{0, 5, 0}},
       {{0, 7, 0}},
       {{10, 20, 30}},
       {{10, 20, 30}},
       {{1, 2, 3}},
       {{1, 2, 3}}},
      {"old 30 about x", {}, {}, {{30, 0, 0}}, {}, {{0, 10, 0}}, {{0, 8.660254f, 5}}},
      {"new 30 about x", {}, {}, {}, {{30, 0, 0}}, {{0, 10, 0}}, {{0, 8.660254f, -5}}},
      {"140 about z stays",
       {},
       {},
       {{0, 0, 140}},
       {},
       {{1, 0, 0}},
       {{-0.76604444f, 0.64278761f, 0}}},
      {"170 about z is composed away",
       {},
       {},
       {{0, 0, 170}},
       {},
       {{1, 2, 3}},
       {{1, 2, 3}}},
      {"-170 about z is composed away",
       {},
       {},
       {{0, 0, -170}},
       {},
       {{1, 2, 3}},
       {{1, 2, 3}}},
      {"position leaves the y axis for x",
       {{0, 10, 0}},
       {{10, 0, 0}},
       {},
       {},
       {{0, 10, 0}},
       {{10, 0, 0}}},
      {"position leaves the x axis for y",
       {{10, 0, 0}},
       {{0, 10, 0}},
       {},
       {},
       {{1, 0, 0}},
       {{0, 1, 0}}},
      {"position turn and rest rotation",
       {{0, 10, 0}},
       {{10, 0, 0}},
       {{0, 0, 30}},
       {},
       {{0, 10, 0}},
       {{8.660254f, 5, 0}}},
      {"no zero in the old position: no turn",
       {{5, 5, 5}},
       {{-3, 8, 1}},
       {},
       {},
       {{1, 2, 3}},
       {{1, 2, 3}}},
      {"zero components stay zero: no turn",
       {{0, 10, 0}},
       {{0, 25, 0}},
       {},
       {},
       {{1, 2, 3}},
       {{1, 2, 3}}},
      {"from the origin", {}, {{10, 0, 0}}, {}, {}, {{0, 10, 0}}, {{10, 0, 0}}},
      {"to the origin: a zero new component never disagrees",
       {{0, 10, 0}},
       {},
       {},
       {},
       {{1, 2, 3}},
       {{1, 2, 3}}},
  };
  for (const Case &c : cases) {
    BoJoint *joint = BoJointCreate("j");
    BoJointSetOldPosition(joint, c.oldPos);
    BoJointSetOldRotate(joint, c.oldRot);
    BoJointSetNewRotate(joint, c.newRot);
    BoJointSetNewPosition(joint, c.newPos);
    BoJointSetMatrix(joint);
    BbVector got = Map(BoJointGetMatrix(joint), c.point);
    for (int i = 0; i < 3; i++) {
      EXPECT_NEAR(got.vec[i], c.mapped.vec[i], 2e-4) << c.what << " component " << i;
    }
  }
}

TEST(BoJointSetMatrix, TwistLimitActsFirstOnAPoint) {
  struct Case {
    BbVector oldRot, newRot;
    float zAngle;  // the z angle ("ZXY") of the finished matrix
  } cases[] = {
      {{0, 0, 150}, {}, 150.0f},  // exactly the limit is left alone
      {{0, 0, 140}, {}, 140.0f},
      {{0, 0, 160}, {{20, 0, 0}}, 1.2f},
  };
  for (const Case &c : cases) {
    BoJoint *joint = BoJointCreate("j");
    BoJointSetOldRotate(joint, c.oldRot);
    BoJointSetNewRotate(joint, c.newRot);
    BoJointSetMatrix(joint);
    BbVector angles;
    ASSERT_EQ(BbXfChangeRotOrder(&angles, "ZXY", joint->mx.mx), 1);
    EXPECT_NEAR(angles.vec[0], c.zAngle, 0.05) << c.oldRot.vec[2];
  }
}

TEST(BoJointCreateXforms, MakesOneTransformPerFrame) {
  BoJoint *joint = BoJointCreate("j");
  BoJointCreateXforms(joint, 3);
  ASSERT_EQ(joint->frames, 3);
  ASSERT_NE(joint->Xf, nullptr);
  EXPECT_NE(joint->Xf[0], joint->Xf[1]);
  EXPECT_NE(joint->Xf[1], joint->Xf[2]);
  for (int f = 0; f < 3; f++) EXPECT_EQ(BoXformGetScale(joint->Xf[f]).vec[0], 1.0f);

  for (int frames : {0, -4}) {
    BoJoint *other = BoJointCreate("k");
    BoJointCreateXforms(other, frames);
    EXPECT_EQ(other->frames, 0);
    EXPECT_EQ(other->Xf, nullptr);
  }
  BoJointCreateXforms(nullptr, 2);
}

}  // namespace
